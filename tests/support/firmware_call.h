// Runs a piece of firmware code on the simulated board, in the start-up
// context after the clocks, pins and I2C1 are set up: for testing drivers
// the way the firmware calls them, with the world's devices on the buses.
#pragma once

#include <functional>
#include <vector>

#include "firmware_runner.h"

namespace bench {

class FirmwareCall : public test::FirmwareRunner {
 protected:
  FirmwareCall();

  // Boots the board if it is not powered and runs body once, then leaves
  // the processor idling. Returns when body has returned; fails the test
  // when that takes longer than `limit` of virtual time.
  void call(std::function<void()> body, host::Time limit = host::from_seconds(60)) {
    run_firmware(std::move(body), limit);
  }
};

// Records every I2C transaction on the bus.
class I2cLog : public host::I2cMonitor {
 public:
  explicit I2cLog(host::Machine& m) : m_(m) { m.i2c1().add_monitor(this); }
  ~I2cLog() override { m_.i2c1().remove_monitor(this); }
  void on_i2c_transaction(const host::I2cTransaction& t) override { log.push_back(t); }
  std::vector<host::I2cTransaction> log;

 private:
  host::Machine& m_;
};

}  // namespace bench
