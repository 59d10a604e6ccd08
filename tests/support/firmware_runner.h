// Runs pieces of firmware code on the simulated board, in thread mode: the
// board boots a test image whose entry point starts the clocks, sets up the
// peripherals the fixture names, and then runs each body a test hands over.
// For testing drivers the way the firmware calls them, with the world's
// devices on the buses.
#pragma once

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "host/machine.h"
#include "test_image.h"
#include "test_time.h"

namespace test {

class FirmwareRunner : public ::testing::Test {
 protected:
  // `setup` sets the peripherals up, after the clocks.
  explicit FirmwareRunner(void (*setup)());
  ~FirmwareRunner() override;

  // Powers the board if it is not, runs body in the firmware's thread mode
  // and returns once it has returned. Fails the test when that takes longer
  // than `limit` of virtual time: the body is then still inside, and nothing
  // more is run.
  void run_firmware(std::function<void()> body, Time limit);

  host::Machine& machine() { return *machine_; }
  Time now() const { return machine_->now(); }

 private:
  TestImage image_;
  std::unique_ptr<host::Machine> machine_;
  std::function<void()> body_;
  bool stuck_ = false;
};

}  // namespace test
