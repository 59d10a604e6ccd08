// Fixture for platform tests: a machine running a test image, powered from
// a supply the test switches.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "board_setup.h"
#include "cmsis_os2.h"
#include "host/machine.h"
#include "main.h"
#include "test_image.h"
#include "test_time.h"

namespace test {

class PlatformTest : public ::testing::Test {
 protected:
  void start(TestImage& image) {
    machine_ = std::make_unique<host::Machine>(image);
    machine_->set_powered(true);
  }
  void TearDown() override { machine_.reset(); }
  host::Machine& machine() { return *machine_; }

 private:
  std::unique_ptr<host::Machine> machine_;
};

// A normal-priority task of the given name and stack size.
constexpr osThreadAttr_t task_attributes(const char* name, uint32_t stack) {
  return {.name = name, .attr_bits = 0, .cb_mem = nullptr, .cb_size = 0, .stack_mem = nullptr, .stack_size = stack,
          .priority = osPriorityNormal, .tz_module = 0, .reserved = 0};
}

// Spin in thread mode until virtual time t, reading the cycle counter as a
// timing loop does (so the wait is not taken for polling).
inline void spin_until(Time t) {
  while (now() < t) (void)static_cast<std::uint32_t>(DWT->CYCCNT);
}

}  // namespace test
