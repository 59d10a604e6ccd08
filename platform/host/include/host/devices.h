// The small interfaces through which device models outside the chip meet the
// simulated microcontroller: an I2C target, an SPI receiver, an analog input
// and a supply-voltage listener. Models see only bus and pin traffic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/time.h"

namespace host {

// A device on the I2C bus. Each call carries the virtual time at which the
// bus condition or byte completes.
class I2cTarget {
 public:
  virtual ~I2cTarget() = default;
  // A start or repeated start with this 7-bit address; true acknowledges.
  virtual bool i2c_start(Time t, std::uint8_t address, bool read) = 0;
  // A byte written by the master; true acknowledges.
  virtual bool i2c_write(Time t, std::uint8_t byte) = 0;
  // The device drives a byte; `master_acks` tells whether the master
  // acknowledges it (false on the last byte of a read).
  virtual std::uint8_t i2c_read(Time t, bool master_acks) = 0;
  // A stop condition ends the transaction.
  virtual void i2c_stop(Time t) = 0;
};

// One completed (or cut) transaction as seen on the wires, for monitors.
struct I2cTransaction {
  Time start = 0;
  Time end = 0;
  std::uint8_t address = 0;  // 7-bit address of the first start
  std::vector<std::uint8_t> written;
  std::vector<std::uint8_t> read;
  bool acknowledged = false;  // the address was acknowledged
  bool complete = false;      // ended with a stop (false: cut by reset or power loss)
  std::string initiator;      // firmware context that ran it
};

class I2cMonitor {
 public:
  virtual ~I2cMonitor() = default;
  virtual void on_i2c_transaction(const I2cTransaction& tr) = 0;
};

// A receiver of SPI bytes (the master never reads). Bytes arrive in bursts
// with the time the first started and the time the last completed.
class SpiDevice {
 public:
  virtual ~SpiDevice() = default;
  virtual void spi_bytes(Time start, Time end, const std::uint8_t* data, std::size_t count) = 0;
};

// An analog voltage at an ADC input pin, in volts, sampled at time t.
class AnalogInput {
 public:
  virtual ~AnalogInput() = default;
  virtual double voltage(Time t) = 0;
};

// Told when the board's supply comes and goes.
class PowerListener {
 public:
  virtual ~PowerListener() = default;
  virtual void on_power(Time t, bool on) = 0;
};

}  // namespace host
