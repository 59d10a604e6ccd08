// The colour display module: an ILI9488 controller with its 320 x 480 panel,
// written over a 4-wire serial bus (SPI1 with chip select, data/command and
// reset lines). The model sees only the bytes and the lines, as the chip does.
//
// Frame memory is 320 columns by 480 rows (the panel's native portrait), one
// 18-bit pixel each. Memory access control (MADCTL) maps the host's column and
// page addresses onto it: MV exchanges them, MX mirrors the memory column and
// MY the memory row. In the unit the glass is seen in landscape, 480 x 320:
// glass pixel (x, y) shows memory column 319 - y of row 479 - x, so the
// module's 90-degree setting (MY | MX | MV) shows the host's (x, y) at (x, y).
// The colour filter is in BGR order: with the BGR bit set, the first byte of a
// pixel lights red.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/machine.h"
#include "sim/board.h"
#include "sim/png.h"
#include "sim/world.h"

namespace sim {

class Ili9488 final : public host::SpiDevice, private host::PinListener, private host::PowerListener {
 public:
  static constexpr int kColumns = 320;
  static constexpr int kRows = 480;
  static constexpr int kGlassWidth = 480;
  static constexpr int kGlassHeight = 320;
  // A reset pulse shorter than this is a glitch and does nothing.
  static constexpr host::Time kMinResetPulse = 10 * host::kTimePerUs;
  // After a reset and after sleep out, commands are not taken for this long.
  static constexpr host::Time kWakeTime = 5 * host::kTimePerMs;
  // After a reset, sleep out is not taken for this long.
  static constexpr host::Time kSleepOutAfterReset = 120 * host::kTimePerMs;

  // What went over the wires, and what the controller did not take.
  struct Counters {
    std::uint64_t commands = 0;          // command bytes taken
    std::uint64_t unknown_commands = 0;  // command bytes this model does not know: ignored with their data
    std::uint8_t last_unknown = 0;
    std::uint64_t pixels = 0;            // pixels stored in the frame memory
    std::uint64_t clipped_pixels = 0;    // pixels addressed outside the memory: dropped
    std::uint64_t unselected_bytes = 0;  // bytes with chip select high, during reset or without power
    std::uint64_t early_commands = 0;    // commands inside the wait after reset or sleep out: dropped
    std::uint64_t stray_data = 0;        // data bytes no command asked for
    std::uint64_t format_bytes = 0;      // pixel bytes in a format the serial interface lacks: dropped
    std::uint64_t bad_windows = 0;       // address ranges with start after end: refused
    std::uint64_t line_changes = 0;      // data/command or chip select changed while bytes were on the wire
    std::uint64_t resets = 0;            // hardware and software resets taken
  };

  explicit Ili9488(host::Machine& machine);
  ~Ili9488() override;
  Ili9488(const Ili9488&) = delete;
  Ili9488& operator=(const Ili9488&) = delete;

  // ---- the glass, in the unit's landscape view
  // True while the panel shows its memory: powered, out of reset and sleep,
  // and the display switched on.
  bool lit() const;
  // The 18-bit value stored for glass pixel (x, y): red in bits 17..12,
  // green in 11..6, blue in 5..0, six bits each.
  std::uint32_t pixel(int x, int y) const;
  // What the glass shows there: the stored value (inverted when inversion is
  // on) while lit, black otherwise.
  std::uint32_t shown(int x, int y) const;
  // The whole glass as an 8-bit RGB picture, 480 x 320.
  Picture picture() const;

  // ---- controller state
  bool powered() const { return powered_; }
  bool sleeping() const { return sleeping_; }
  bool display_on() const { return display_on_; }
  bool inverted() const { return inverted_; }
  std::uint8_t madctl() const { return madctl_; }
  std::uint8_t pixel_format() const { return pixel_format_; }
  std::uint8_t interface_mode() const { return interface_mode_; }
  // Frame memory by its own address (column 0..319, row 0..479).
  std::uint32_t memory(int column, int row) const {
    settle();
    return memory_[stored_at(column, row)];
  }
  const Counters& counters() const { return counters_; }

  void spi_bytes(host::Time start, host::Time end, const std::uint8_t* data, std::size_t count) override;

 private:
  enum class Pending : std::uint8_t { None, Ignore, ColumnAddress, PageAddress, MemoryWrite, Madctl, PixelFormat, InterfaceMode };

  void on_pin_level(host::PinId pin, host::Time t, bool level) override;
  void on_power(host::Time t, bool on) override;

  void reset_registers(host::Time t);
  void command(std::uint8_t c, host::Time t);
  void data(const std::uint8_t* d, std::size_t n);
  void parameter(std::uint8_t b);
  void address_range(const std::uint8_t* p);
  void begin_memory_write(bool from_start);
  void write_pixels(const std::uint8_t* d, std::size_t n);
  void write_pixels_3bit(const std::uint8_t* d, std::size_t n);
  // One pixel as its three bytes in wire order.
  void store(const std::uint8_t* bytes);
  void advance(int pixels);
  // The memory is kept in the order of the glass (row by row of the
  // landscape view), so the unit's own orientation writes it in sequence.
  static std::size_t stored_at(int mem_column, int mem_row) {
    return static_cast<std::size_t>(kColumns - 1 - mem_column) * kGlassWidth + static_cast<std::size_t>(kRows - 1 - mem_row);
  }
  std::size_t memory_index(int column, int page) const;
  void set_madctl(std::uint8_t value);
  // The pixels at storage index `at` and the n - 1 after it, along a row of
  // the glass, hold bytes not yet decoded.
  void mark_unsettled(std::size_t at, int n) const {
    Span& s = unsettled_[at / kGlassWidth];
    const auto lo = static_cast<std::uint16_t>(at % kGlassWidth);
    const auto hi = static_cast<std::uint16_t>(lo + n);
    if (lo < s.lo) s.lo = lo;
    if (hi > s.hi) s.hi = hi;
    any_unsettled_ = true;
  }
  // Decodes the bytes written since the last look into the 18-bit memory.
  void settle() const {
    if (any_unsettled_ || !journal_.empty()) settle_all();
  }
  void settle_all() const;

  // Transfers of whole pixels in the unit's own orientation, into a window
  // inside the memory, are kept whole as they came (see Transfer) and copied
  // into place only when someone looks, when the journal is full, or before
  // any other write to the memory. A transfer into the same window from the
  // same place with as many pixels as an earlier one writes exactly the
  // pixels that one wrote: the earlier one is then never copied at all (the
  // screen redraws the same fields pass after pass).
  bool journal_takes(std::size_t n) const;
  void journal(const std::uint8_t* d, std::size_t n);
  void apply_journal() const;
  struct Transfer {
    std::uint32_t offset;  // of its bytes in journal_bytes_
    std::uint32_t pixels;
    std::uint16_t start_column, end_column, start_page, end_page;  // the window
    std::uint16_t column, page;  // where it began
    bool live;                   // false: every pixel of it is written again later
  };
  struct Latest {  // the last transfer of each kind in the journal (hashed)
    std::uint64_t key = 0;
    std::uint32_t pixels = 0;
    std::uint32_t transfer = 0;
    std::uint32_t generation = 0;  // in use when equal to latest_generation_
  };
  // Room for several passes of the main screen (about 270 KB each): only
  // the last pass is still live when the journal is full, so most transfers
  // are copied once, into the journal, and never again.
  static constexpr std::size_t kJournalBytes = 1u << 21;
  static constexpr std::size_t kLatestSlots = 1u << 13;
  mutable std::unique_ptr<std::uint8_t[]> journal_bytes_;
  mutable std::size_t journal_used_ = 0;
  mutable std::vector<Transfer> journal_;
  mutable std::vector<Latest> latest_;
  mutable std::uint32_t latest_generation_ = 1;

  host::Machine& machine_;
  // The pixel bytes as they came over the wire, three a pixel, in the order
  // of the 18-bit memory below. The unit redraws its screen as fast as the
  // bus allows and nobody looks at most of those pictures, so bytes are only
  // copied here as they arrive and decoded when a pixel or picture is asked
  // for (or before the colour order changes). Bytes of pixels not unsettled
  // always decode to the memory's value under the current colour order.
  mutable std::vector<std::uint8_t> wire_;
  struct Span {
    std::uint16_t lo = kGlassWidth, hi = 0;  // glass columns [lo, hi), empty when lo >= hi
  };
  mutable std::vector<Span> unsettled_;  // one a glass row
  mutable bool any_unsettled_ = false;
  mutable std::vector<std::uint32_t> memory_;
  Counters counters_;

  // Lines, with what they were before their last change.
  bool powered_ = false;
  bool dc_ = false, dc_before_ = false;
  bool cs_ = true, cs_before_ = true;  // high: not selected
  bool res_low_ = false;
  host::Time dc_changed_ = 0, cs_changed_ = 0, res_fell_ = 0;

  // Registers.
  bool sleeping_ = true;
  bool display_on_ = false;
  bool inverted_ = false;
  std::uint8_t madctl_ = 0;
  std::uint8_t pixel_format_ = 0x66;
  std::uint8_t interface_mode_ = 0;
  int start_column_ = 0, end_column_ = kColumns - 1;
  int start_page_ = 0, end_page_ = kRows - 1;
  host::Time ready_at_ = 0;      // commands before this are dropped
  host::Time sleep_out_at_ = 0;  // sleep out before this is dropped

  // The command being fed its parameters or pixels.
  Pending pending_ = Pending::None;
  std::uint8_t params_[4] = {};
  int param_count_ = 0;
  int column_ = 0, page_ = 0;  // next pixel of a memory write
  std::uint8_t partial_[3] = {};
  int partial_count_ = 0;
};

// The display as a part of the world: it writes tft-NAME.png, what the glass
// shows, at every snapshot and at the end of a run.
class TftDisplay final : public WorldPart {
 public:
  explicit TftDisplay(host::Machine& machine) : panel(machine) {}
  void trace(ojson& world) override;
  void snapshot(const std::string& dir, const std::string& name) override;

  Ili9488 panel;
};

}  // namespace sim
