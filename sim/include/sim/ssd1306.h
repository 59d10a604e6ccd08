// The unit's second display: a 128x64 OLED module with an SSD1306
// controller on I2C, modelled from the controller's data sheet. It sees the
// bus traffic only: control bytes, commands with their parameters, display
// data into its GDDRAM through the page and column pointers of the three
// addressing modes. What the glass shows follows the multiplex ratio, start
// line, display offset, segment remap, COM scan direction, COM pin layout,
// inverse and entire-display-on settings, the display on/off state and the
// charge pump; the contrast sets the brightness of the picture. Continuous
// scrolling is taken note of but not animated: the picture stays as the RAM
// holds it.
//
// The module sits upside down in the unit's housing: seen by the driver,
// the picture reads upright when the controller maps column 127 to SEG0 and
// scans from COM63 to COM0.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host/devices.h"
#include "host/machine.h"
#include "sim/png.h"

namespace sim {

class Ssd1306 final : public host::I2cTarget, public host::PowerListener {
 public:
  static constexpr std::uint8_t kAddress = 0x3C;  // SA0 tied low
  static constexpr int kWidth = 128;
  static constexpr int kHeight = 64;
  static constexpr int kPages = kHeight / 8;

  // Bus traffic the controller accepted, for tests and reports.
  struct Traffic {
    std::uint64_t transactions = 0;  // addressed and acknowledged
    std::uint64_t commands = 0;      // command bytes, parameters included
    std::uint64_t data_bytes = 0;    // display data bytes written
  };

  explicit Ssd1306(host::Machine& machine, std::uint8_t address = kAddress);
  ~Ssd1306() override;
  Ssd1306(const Ssd1306&) = delete;
  Ssd1306& operator=(const Ssd1306&) = delete;

  // ---- the physical side
  // Plugs the module in or pulls it out. It takes its supply through the
  // same connector, so a pulled module forgets its settings and picture and
  // nobody acknowledges its address.
  void set_connected(bool connected);
  bool connected() const { return connected_; }
  bool powered() const { return powered_; }
  // True when the panel emits light: powered, display on, charge pump on.
  bool glowing() const;
  // Whether the pixel at (x, y) is lit, as the driver sees the mounted
  // module: x from the left (0..127), y from the top (0..63).
  bool lit(int x, int y) const;
  int lit_count() const;
  std::uint8_t contrast() const { return contrast_; }
  bool scrolling() const { return scrolling_; }
  // A photograph of the module: each pixel `scale` wide with a dark gap
  // between pixels, lit pixels light blue-white dimmed by the contrast.
  Picture photo(int scale = 4) const;

  // The controller's display RAM as it holds it, one byte per page and
  // column (bit 0 the page's top row).
  std::uint8_t gddram(int page, int column) const { return ram_[page][column]; }
  const Traffic& traffic() const { return traffic_; }

  // ---- the bus side
  bool i2c_start(host::Time t, std::uint8_t address, bool read) override;
  bool i2c_write(host::Time t, std::uint8_t byte) override;
  std::uint8_t i2c_read(host::Time t, bool master_acks) override;
  void i2c_stop(host::Time t) override;
  void on_power(host::Time t, bool on) override;

 private:
  enum class Mode : std::uint8_t { Horizontal = 0, Vertical = 1, Page = 2 };
  enum class Next : std::uint8_t { Control, Command, Data, Nothing };

  void power_up();
  void update_supply();
  void command_byte(std::uint8_t byte);
  void execute();
  void data_byte(std::uint8_t byte);
  // The RAM row shown on a row of the glass (counted on the glass itself,
  // not as mounted), or -1 when no COM line drives it.
  int ram_row_of_glass_row(int row) const;

  host::Machine& machine_;
  std::uint8_t address_;
  bool connected_ = true;
  bool powered_ = false;

  // Transaction state: what the next byte is, and whether a control byte
  // with Co = 1 asked for another control byte after it.
  Next next_ = Next::Nothing;
  bool one_byte_ = false;
  bool reading_ = false;

  // A command whose parameter bytes are still to come (parameters may
  // arrive in transactions of their own).
  std::array<std::uint8_t, 8> cmd_{};
  int cmd_len_ = 0;
  int cmd_need_ = 0;

  // Registers, at their reset values in power_up().
  std::uint8_t contrast_ = 0x7F;
  bool display_on_ = false;
  bool entire_on_ = false;
  bool inverse_ = false;
  bool charge_pump_ = false;
  bool scrolling_ = false;
  bool segment_remap_ = false;
  bool com_remap_ = false;
  int multiplex_ = 64;
  int offset_ = 0;
  int start_line_ = 0;
  std::uint8_t com_pins_ = 0x12;
  Mode mode_ = Mode::Page;
  int column_ = 0;
  int page_ = 0;
  int column_start_ = 0;
  int column_end_ = kWidth - 1;
  int page_start_ = 0;
  int page_end_ = kPages - 1;

  std::array<std::array<std::uint8_t, kWidth>, kPages> ram_{};
  Traffic traffic_;
};

}  // namespace sim
