// Test bench: the simulated board with its wiring and supply, and signal
// sources that put exactly timed edges on its input pins. Every test builds
// its own bench, so each starts from the firmware's reset state.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "host/machine.h"
#include "sim/board.h"
#include "sim/controls.h"
#include "sim/firmware_view.h"
#include "test_time.h"

namespace bench {

using host::Time;
using test::ms;
using test::s;
using test::us;

// A line driven by the test: level changes scheduled at exact virtual times.
class Signal {
 public:
  Signal(host::Machine& m, host::PinId pin, host::Drive initial);
  ~Signal();
  void set(bool level);                  // now
  void at(Time t, bool level);           // at an absolute virtual time
  void release_at(Time t);               // leave the line to its pulls
  // A low pulse (an injector opening) from t for `width`.
  void low_pulse(Time t, Time width) {
    at(t, false);
    at(t + width, true);
  }
  void high_pulse(Time t, Time width) {
    at(t, true);
    at(t + width, false);
  }
  // `count` pulses of `width`, one every `period` from t; low pulses for
  // injector lines, high pulses otherwise. Returns the time after the last.
  Time pulses(Time t, Time period, Time width, int count, bool low) {
    for (int i = 0; i < count; ++i, t += period) low ? low_pulse(t, width) : high_pulse(t, width);
    return t;
  }

 private:
  class Change;
  host::Machine& m_;
  host::Gpio::DriverId driver_;
  std::vector<std::unique_ptr<Change>> changes_;
};

class Bench : public ::testing::Test {
 protected:
  Bench();
  ~Bench() override;

  // Ignition on and run through the start-up until the main loop runs (the
  // OLED switched to its gauge marks the end of the start-up: after the
  // display reset, the splash and its wait, and the record-error line).
  void boot();
  void run_to(Time t) { machine.run_until(t); }
  void run_for(Time d) { machine.run_for(d); }
  Time now() const { return machine.now(); }
  // Calls fn at virtual time t, on the host side between firmware steps.
  void at(Time t, std::function<void()> fn);
  bool level(host::PinId pin) { return machine.gpio().level(pin); }

  host::Machine machine{host::LinkedFirmware::instance()};
  sim::Board board{machine};
  sim::IgnitionSwitch ignition{board};
  sim::FirmwareView view{machine.firmware()};

 private:
  std::vector<std::unique_ptr<host::FunctionEvent>> calls_;
};

}  // namespace bench
