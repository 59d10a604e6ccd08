#include "sim/ds18b20.h"

#include <cmath>

namespace sim {

using host::Time;

namespace {
constexpr Time kSampleAfter = 30 * host::kTimePerUs;      // write slots: sampled 15..60 µs in
constexpr Time kHoldZero = 30 * host::kTimePerUs;         // read slots: a 0 held 15..60 µs
constexpr Time kResetMin = 480 * host::kTimePerUs;        // a reset pulse is at least this long
constexpr Time kPresenceWait = 30 * host::kTimePerUs;     // 15..60 µs after the reset
constexpr Time kPresenceLength = 120 * host::kTimePerUs;  // 60..240 µs
}  // namespace

std::uint8_t Ds18b20::crc8(const std::uint8_t* data, std::size_t n) {
  std::uint8_t crc = 0;
  for (std::size_t i = 0; i < n; ++i) {
    std::uint8_t b = data[i];
    for (int bit = 0; bit < 8; ++bit) {
      const bool mix = (crc ^ b) & 1;
      crc >>= 1;
      if (mix) crc ^= 0x8C;
      b >>= 1;
    }
  }
  return crc;
}

Ds18b20::Rom Ds18b20::rom_for(std::uint64_t serial) {
  Rom r{};
  r[0] = 0x28;
  for (int i = 0; i < 6; ++i) r[1 + i] = static_cast<std::uint8_t>(serial >> (8 * i));
  r[7] = crc8(r.data(), 7);
  return r;
}

Ds18b20::Ds18b20(host::Machine& machine, host::PinId pin, Rom rom)
    : machine_(machine),
      pin_(pin),
      rom_(rom),
      line_(machine.gpio().add_driver(pin)),
      sample_(machine.events(), [this](Time t) { sample(t); }),
      release_(machine.events(), [this](Time) { drive_low(false); }),
      presence_(machine.events(), [this](Time t) {
        if (!driving_) {
          drive_low(true);  // the presence pulse
          presence_.schedule(t + kPresenceLength);
        } else {
          drive_low(false);
        }
      }) {
  machine.gpio().add_listener(pin, this);
  machine.add_power_listener(this);
  on_power(machine.now(), machine.powered());
}

Ds18b20::~Ds18b20() {
  machine_.gpio().remove_listener(pin_, this);
  machine_.remove_power_listener(this);
}

void Ds18b20::set_resolution(int bits) {
  stored_config_ = static_cast<std::uint8_t>(0x1F | ((bits - 9) & 3) << 5);
  scratchpad_[4] = stored_config_;
  update_scratchpad_crc();
}

void Ds18b20::set_connected(bool connected) {
  connected_ = connected;
  if (!connected) {
    drive_low(false);
    state_ = State::Idle;
  }
}

void Ds18b20::on_power(Time, bool on) {
  powered_ = on;
  sample_.cancel();
  release_.cancel();
  presence_.cancel();
  drive_low(false);
  state_ = State::Idle;
  conversion_end_ = 0;
  pending_conversion_ = false;
  if (on) {
    // Power-up: +85 °C in the temperature register, the alarms and the
    // configuration from the sensor's EEPROM.
    scratchpad_ = {0x50, 0x05, 0x4B, 0x46, stored_config_, 0xFF, 0x0C, 0x10, 0};
    update_scratchpad_crc();
  }
}

void Ds18b20::update_scratchpad_crc() { scratchpad_[8] = crc8(scratchpad_.data(), 8); }

Time Ds18b20::conversion_time() const {
  const int bits = ((scratchpad_[4] >> 5) & 3) + 9;
  return static_cast<Time>(93.75 * host::kTimePerMs) << (bits - 9);
}

void Ds18b20::drive_low(bool low) {
  if (driving_ == low) return;
  driving_ = low;
  own_edge_ = true;
  machine_.gpio().set_drive(line_, low ? host::Drive::Low : host::Drive::None);
  own_edge_ = false;
}

void Ds18b20::on_pin_level(host::PinId, Time t, bool level) {
  if (own_edge_ || !powered_ || !connected_) return;
  if (!level) {
    if (driving_) return;  // the line was low already
    master_low_since_ = t;
    // Within the presence window the line falls for the sensors' presence
    // pulses (another sensor's too), not for a slot.
    if (t >= quiet_until_) slot(t);
    return;
  }
  // The line is up again: a long low was a reset.
  if (master_low_since_ != host::kNever && t - master_low_since_ >= kResetMin) reset_detected(t);
  master_low_since_ = host::kNever;
}

void Ds18b20::reset_detected(Time t) {
  sample_.cancel();
  release_.cancel();
  drive_low(false);
  // A conversion runs on through a reset; its result lands when it is done.
  start_receiving(8, State::RomCommand);
  presence_.schedule(t + kPresenceWait);
  quiet_until_ = t + kPresenceWait + kPresenceLength + 5 * host::kTimePerUs;
}

void Ds18b20::slot(Time t) {
  if (pending_conversion_ && t >= conversion_end_) {
    // The conversion finished: its result is in the temperature register.
    long raw = std::lround(converted_celsius_ * 16.0);
    const int bits = ((scratchpad_[4] >> 5) & 3) + 9;
    raw &= ~((1L << (12 - bits)) - 1);  // the unused low bits read 0
    const auto r16 = static_cast<std::uint16_t>(static_cast<std::int16_t>(raw));
    scratchpad_[0] = r16 & 0xFF;
    scratchpad_[1] = r16 >> 8;
    update_scratchpad_crc();
    pending_conversion_ = false;
  }
  switch (state_) {
    case State::Receiving:
    case State::RomCommand:
    case State::Function:
    case State::MatchRom:
      sample_.schedule(t + kSampleAfter);
      break;
    case State::Sending: {
      const bool bit = (out_[out_pos_ / 8] >> (out_pos_ % 8)) & 1;
      if (!bit) {
        drive_low(true);
        release_.schedule(t + kHoldZero);
      }
      if (++out_pos_ == out_bits_) state_ = after_sending_;
      break;
    }
    case State::Search: {
      const int byte = search_bit_ / 8, shift = search_bit_ % 8;
      const bool bit = (rom_[byte] >> shift) & 1;
      if (search_phase_ < 2) {
        const bool send = search_phase_ == 0 ? bit : !bit;
        if (!send) {
          drive_low(true);
          release_.schedule(t + kHoldZero);
        }
        ++search_phase_;
      } else {
        sample_.schedule(t + kSampleAfter);  // the master's direction
      }
      break;
    }
    case State::ConvertStatus:
      if (converting(t)) {
        drive_low(true);
        release_.schedule(t + kHoldZero);
      }
      break;
    case State::Idle: break;
  }
}

void Ds18b20::sample(Time t) {
  const bool bit = machine_.gpio().level(pin_);
  if (state_ == State::Search) {
    const bool mine = (rom_[search_bit_ / 8] >> (search_bit_ % 8)) & 1;
    if (bit != mine) {
      state_ = State::Idle;  // another branch of the tree: drop out until the next reset
      return;
    }
    search_phase_ = 0;
    if (++search_bit_ == 64) state_ = State::Idle;
    return;
  }
  bit_received(t, bit);
}

void Ds18b20::start_receiving(int bits, State next) {
  in_ = 0;
  in_bits_ = bits;
  in_pos_ = 0;
  state_ = next;
}

void Ds18b20::start_sending(const std::uint8_t* bytes, int bits, State after) {
  for (int i = 0; i < (bits + 7) / 8; ++i) out_[i] = bytes[i];
  out_bits_ = bits;
  out_pos_ = 0;
  after_sending_ = after;
  state_ = State::Sending;
}

void Ds18b20::bit_received(Time t, bool bit) {
  if (bit) in_ |= 1ull << in_pos_;
  if (++in_pos_ < in_bits_) return;
  switch (state_) {
    case State::RomCommand: {
      const auto cmd = static_cast<std::uint8_t>(in_);
      if (cmd == 0x33) {  // read ROM
        // The ROM code goes out, then the function command comes in.
        start_receiving(8, State::Function);
        start_sending(rom_.data(), 64, State::Function);
      } else if (cmd == 0x55) {  // match ROM
        start_receiving(64, State::MatchRom);
      } else if (cmd == 0xCC) {  // skip ROM
        start_receiving(8, State::Function);
      } else if (cmd == 0xF0) {  // search ROM
        state_ = State::Search;
        search_bit_ = 0;
        search_phase_ = 0;
      } else {
        state_ = State::Idle;  // alarm search (no alarm) or an unknown command
      }
      break;
    }
    case State::MatchRom: {
      std::uint64_t mine = 0;
      for (int i = 0; i < 8; ++i) mine |= static_cast<std::uint64_t>(rom_[i]) << (8 * i);
      if (in_ == mine) {
        start_receiving(8, State::Function);
      } else {
        state_ = State::Idle;
      }
      break;
    }
    case State::Function: command(t, static_cast<std::uint8_t>(in_)); break;
    case State::Receiving: {
      // The three bytes of a write scratchpad: alarms and configuration.
      scratchpad_[2] = static_cast<std::uint8_t>(in_);
      scratchpad_[3] = static_cast<std::uint8_t>(in_ >> 8);
      scratchpad_[4] = static_cast<std::uint8_t>(((in_ >> 16) & 0x60) | 0x1F);
      update_scratchpad_crc();
      state_ = State::Idle;
      break;
    }
    default: break;
  }
}

void Ds18b20::command(Time t, std::uint8_t cmd) {
  switch (cmd) {
    case 0x44:  // convert T
      ++conversions_;
      converted_celsius_ = celsius_;
      conversion_end_ = t + conversion_time();
      pending_conversion_ = true;
      state_ = State::ConvertStatus;
      break;
    case 0xBE: {  // read scratchpad
      std::array<std::uint8_t, 9> bytes = scratchpad_;
      if (corrupt_byte_ >= 0 && corrupt_byte_ < 9) {
        bytes[static_cast<std::size_t>(corrupt_byte_)] ^= corrupt_flip_;
        corrupt_byte_ = -1;
      }
      start_sending(bytes.data(), 72, State::Idle);
      break;
    }
    case 0x4E:  // write scratchpad: TH, TL, configuration
      start_receiving(24, State::Receiving);
      break;
    case 0x48:  // copy scratchpad to the sensor's EEPROM
      stored_config_ = scratchpad_[4];
      state_ = State::Idle;
      break;
    case 0xB8:  // recall
      scratchpad_[4] = stored_config_;
      update_scratchpad_crc();
      state_ = State::Idle;
      break;
    case 0xB4: {  // read power supply: powered from its own supply pin
      static const std::uint8_t one = 1;
      start_sending(&one, 1, State::Idle);
      break;
    }
    default: state_ = State::Idle; break;
  }
}

}  // namespace sim
