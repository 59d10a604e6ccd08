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
  void set(bool level);         // now
  void at(Time t, bool level);  // at an absolute virtual time
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
  host::Machine& m_;
  host::Gpio::DriverId driver_;
  std::vector<std::unique_ptr<host::FunctionEvent>> changes_;
};

class Bench : public ::testing::Test {
 protected:
  Bench();
  ~Bench() override;

  // Ignition on and run through the start-up until the main loop runs (the
  // OLED switched to its gauge marks the end of the start-up: after the
  // display reset, the splash and its wait, and the record-error line).
  void boot();
  // Runs in steps of `step` until the start-up is done (the OLED switched to
  // its gauge), 20 s at most.
  void wait_started(Time step);
  void run_to(Time t) { machine.run_until(t); }
  void run_for(Time d) { machine.run_for(d); }
  // Runs in steps of `step` while cond() holds, `limit` at most.
  void run_while(const std::function<bool()>& cond, Time limit, Time step) {
    const Time end = now() + limit;
    while (cond() && now() < end) run_for(step);
  }
  Time now() const { return machine.now(); }
  bool level(host::PinId pin) { return machine.gpio().level(pin); }

  host::Machine machine{host::LinkedFirmware::instance()};
  sim::Board board{machine};
  sim::IgnitionSwitch ignition{board};
};

}  // namespace bench
