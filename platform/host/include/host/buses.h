// The buses that leave the chip: I2C1, SPI1 and the ADC inputs, with the
// attachment points for device models.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "host/devices.h"

namespace host {

class I2cBus {
 public:
  // Attaches a device at a 7-bit address. Two devices on one address are a
  // wiring error: throws std::invalid_argument.
  void attach(std::uint8_t address, I2cTarget* target);
  void detach(std::uint8_t address);
  I2cTarget* target(std::uint8_t address) const;
  void add_monitor(I2cMonitor* monitor) { monitors_.push_back(monitor); }
  void remove_monitor(I2cMonitor* monitor);
  const std::vector<I2cMonitor*>& monitors() const { return monitors_; }

 private:
  std::map<std::uint8_t, I2cTarget*> targets_;
  std::vector<I2cMonitor*> monitors_;
};

class SpiPort {
 public:
  void attach(SpiDevice* device) { devices_.push_back(device); }
  void detach(SpiDevice* device);
  const std::vector<SpiDevice*>& devices() const { return devices_; }
  // Bytes sent since power-up of the simulation (for reports).
  std::uint64_t bytes_sent() const { return bytes_; }
  void count(std::uint64_t n) { bytes_ += n; }

 private:
  std::vector<SpiDevice*> devices_;
  std::uint64_t bytes_ = 0;
};

class AdcPort {
 public:
  static constexpr int kChannels = 19;
  static constexpr double kReferenceVolts = 3.3;
  // Connects an analog source to an ADC channel (0..15 are pins).
  void attach(int channel, AnalogInput* input);
  AnalogInput* input(int channel) const;
  // The 12-bit result of converting the channel's voltage at time t.
  std::uint16_t convert(int channel, Time t) const;

 private:
  std::array<AnalogInput*, kChannels> inputs_{};
};

}  // namespace host
