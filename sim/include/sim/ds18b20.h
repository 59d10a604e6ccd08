// A DS18B20 digital thermometer on the open-drain 1-Wire line, as its data
// sheet describes it: reset and presence pulses, write slots sampled 30 µs
// after the master's falling edge, read slots in which the sensor holds the
// line low for a 0, the ROM commands (read, match, skip, search), and the
// function commands (convert T with the conversion time of the configured
// resolution, during which read slots read 0; read and write scratchpad with
// its CRC). The sensor judges each slot by the line's level at virtual
// times, so a slot that an interrupt stretches behaves as on the real bus.
#pragma once

#include <array>
#include <cstdint>

#include "host/events.h"
#include "host/machine.h"

namespace sim {

class Ds18b20 final : public host::PinListener, public host::PowerListener {
 public:
  using Rom = std::array<std::uint8_t, 8>;

  // A ROM code of the DS18B20 family (0x28) with this serial number and its CRC.
  static Rom rom_for(std::uint64_t serial);
  static std::uint8_t crc8(const std::uint8_t* data, std::size_t n);

  Ds18b20(host::Machine& machine, host::PinId pin, Rom rom);
  ~Ds18b20() override;

  const Rom& rom() const { return rom_; }
  // The air temperature at the sensor (°C); a conversion takes it.
  void set_temperature(double celsius) { celsius_ = celsius; }
  double temperature() const { return celsius_; }
  // The resolution kept in the sensor's own EEPROM (9..12 bits).
  void set_resolution(int bits);
  // Faults: the sensor off the line (not fitted, or a broken wire), and a
  // byte of the next scratchpad read-out spoilt.
  void set_connected(bool connected);
  void corrupt_next_readout(int byte, std::uint8_t flip) {
    corrupt_byte_ = byte;
    corrupt_flip_ = flip;
  }
  bool converting(host::Time t) const { return t < conversion_end_; }
  std::uint64_t conversions() const { return conversions_; }

  void on_pin_level(host::PinId pin, host::Time t, bool level) override;
  void on_power(host::Time t, bool on) override;

 private:
  enum class State { Idle, RomCommand, MatchRom, Search, Function, Sending, Receiving, ConvertStatus };

  void drive_low(bool low);
  void reset_detected(host::Time t);
  void slot(host::Time t);           // the master pulled the line low
  void sample(host::Time t);         // a write slot's sampling point
  void bit_received(host::Time t, bool bit);
  void start_sending(const std::uint8_t* bytes, int bits, State after);
  // The next `bits` bits from the master go to `next` (a receiving state).
  void start_receiving(int bits, State next);
  void command(host::Time t, std::uint8_t cmd);
  void update_scratchpad_crc();
  host::Time conversion_time() const;

  host::Machine& machine_;
  host::PinId pin_;
  Rom rom_;
  host::Gpio::DriverId line_;
  double celsius_ = 20.0;
  std::array<std::uint8_t, 9> scratchpad_{};
  std::uint8_t stored_config_ = 0x7F;  // 12 bits
  bool powered_ = false;
  bool connected_ = true;
  bool driving_ = false;
  bool own_edge_ = false;
  host::Time master_low_since_ = host::kNever;
  host::Time quiet_until_ = 0;  // the presence window: no slots in it
  State state_ = State::Idle;
  State after_sending_ = State::Idle;
  // Bits going out or coming in, least significant first.
  std::array<std::uint8_t, 9> out_{};
  int out_bits_ = 0, out_pos_ = 0;
  std::uint64_t in_ = 0;
  int in_bits_ = 0, in_pos_ = 0;
  int search_bit_ = 0, search_phase_ = 0;
  host::Time conversion_end_ = 0;
  double converted_celsius_ = 85.0;
  bool pending_conversion_ = false;
  int corrupt_byte_ = -1;
  std::uint8_t corrupt_flip_ = 0;
  std::uint64_t conversions_ = 0;
  host::FunctionEvent sample_, release_, presence_;
};

}  // namespace sim
