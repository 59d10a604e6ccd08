#include "sim/eeprom24c08.h"

#include <stdexcept>

namespace sim {

Eeprom24c08::Eeprom24c08(host::Machine& machine) : Event(machine.events()), machine_(machine) {
  memory_.fill(0xFF);  // a new chip is erased
  powered_ = machine.powered();
  for (unsigned b = 0; b < 4; ++b) machine.i2c1().attach(static_cast<std::uint8_t>(kFirstAddress + b), this);
  machine.add_power_listener(this);
}

Eeprom24c08::~Eeprom24c08() {
  for (unsigned b = 0; b < 4; ++b) machine_.i2c1().detach(static_cast<std::uint8_t>(kFirstAddress + b));
  machine_.remove_power_listener(this);
}

void Eeprom24c08::load(const std::vector<std::uint8_t>& image) {
  if (image.size() != kSize) throw std::invalid_argument("a 24C08 image is exactly 1024 bytes");
  std::copy(image.begin(), image.end(), memory_.begin());
}

bool Eeprom24c08::answering(host::Time t) const {
  // During its write cycle the chip does not acknowledge its address.
  return powered_ && !absent_ && t < dead_at_ && !(scheduled() && t < cycle_end_);
}

bool Eeprom24c08::i2c_start(host::Time t, std::uint8_t address, bool read) {
  if (!answering(t)) {
    state_ = State::Idle;
    return false;
  }
  block_ = address - kFirstAddress;
  if (read) {
    state_ = State::Reading;  // from the current address
  } else {
    state_ = State::WordAddress;
    loaded_ = 0;
  }
  return true;
}

bool Eeprom24c08::i2c_write(host::Time t, std::uint8_t byte) {
  if (!answering(t)) return false;
  switch (state_) {
    case State::WordAddress:
      pointer_ = block_ * 256 + byte;
      page_base_ = pointer_ & ~(kPage - 1);
      state_ = State::Writing;
      return true;
    case State::Writing: {
      // The low address bits count up and wrap inside the page.
      const unsigned offset = pointer_ & (kPage - 1);
      page_[offset] = byte;
      loaded_ |= static_cast<std::uint16_t>(1u << offset);
      pointer_ = page_base_ | ((offset + 1) & (kPage - 1));
      return true;
    }
    default: return false;
  }
}

std::uint8_t Eeprom24c08::i2c_read(host::Time t, bool) {
  if (state_ != State::Reading || !answering(t)) return 0xFF;  // nobody drives the bus
  const std::uint8_t b = memory_[pointer_];
  pointer_ = (pointer_ + 1) % kSize;
  return b;
}

void Eeprom24c08::i2c_stop(host::Time t) {
  if (state_ == State::Writing && loaded_ != 0 && answering(t)) {
    cycle_end_ = t + kWriteCycle;
    programming_page_ = page_;
    programming_mask_ = loaded_;
    programming_base_ = page_base_;
    schedule(cycle_end_);
  }
  state_ = State::Idle;
}

void Eeprom24c08::fire(host::Time) {
  for (unsigned i = 0; i < kPage; ++i)
    if (programming_mask_ & (1u << i)) memory_[programming_base_ + i] = programming_page_[i];
  ++pages_programmed_;
}

void Eeprom24c08::on_power(host::Time, bool on) {
  powered_ = on;
  state_ = State::Idle;
  if (!on && scheduled()) {
    // The page being programmed is lost; the pages before it stay.
    cancel();
    ++pages_lost_;
  }
}

}  // namespace sim
