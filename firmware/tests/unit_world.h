// The whole unit in the world of a scenario: a calibrated unit in a car,
// driven by the test through the encoder, its button, the ignition and the
// scenario's steps, and judged on the panel's picture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "screen.h"
#include "sim/ili9488.h"
#include "sim/runner.h"
#include "sim/scenario.h"
#include "vehicle_state.h"

namespace unit {

// A unit whose record is complete and plausible (no notice at start-up),
// with trips on all three channels; `offtime` in minutes (0 powers down
// right after the 5 s wait). `steps` follow the ignition on at 0 and an
// idling engine at 1.
inline std::string scenario(const std::string& steps, double offtime = 0.0) {
  return R"({"eeprom": {"record": {"lpgtype": 1, "injtype": 1, "pbcap": 45, "lpgcap": 30, "offtime": )" +
         std::to_string(offtime) + R"(,
      "flvl": {"pb_min": 2978, "pb_max": 434, "lpg_min": 270, "lpg_max": 1801}, "pblvl": 0.6, "lpglvl": 0.6,
      "ch": [{"distpb": 100, "pbcons": 8, "distlpg": 50, "lpgcons": 5}, {"distpb": 20, "pbcons": 2,
              "distlpg": 30, "lpgcons": 3}, {"distpb": 7, "pbcons": 0.5, "distlpg": 9, "lpgcons": 1}]}},
    "steps": [{"at": 0, "ignition": true}, {"at": 1, "engine": {"rpm": 850, "petrol_ms": 2.8, "lpg_ms": 3.4}})" +
         (steps.empty() ? "" : ", " + steps) + R"(, {"wait": 3000}]})";
}

class UnitWorld : public ::testing::Test {
 protected:
  // Starts the scenario and runs until the main loop runs.
  void start(const std::string& text) {
    sim::RunOptions o;
    o.write_files = false;
    runner = std::make_unique<sim::Runner>(sim::parse_scenario(text, "test"), o);
    start_again();
  }
  // Runs until the unit has started (again, after a power cycle).
  void start_again() {
    run_for(0.05);
    const double limit = now() + 20;
    while (now() < limit && (drawlumo != 0 || !runner->machine().powered())) run_for(0.05);
    ASSERT_EQ(drawlumo, 0) << "the unit did not start";
    run_for(0.2);
  }
  void run_to(double s) { runner->run_until(s); }
  void run_for(double s) { run_to(now() + s); }
  double now() { return host::to_seconds(runner->machine().now()); }
  sim::World& world() { return runner->world(); }
  const sim::Ili9488& panel() { return runner->world().part<sim::TftDisplay>()->panel; }
  bool powered() { return runner->machine().powered(); }

  // Presses the button for `seconds` and runs until it is released.
  void press(double seconds = 0.1) {
    world().button.press_for(host::from_seconds(seconds));
    run_for(seconds);
  }
  // Turns the encoder and runs until its last detent is done.
  void turn(int detents) {
    world().encoder.turn(detents);
    while (world().encoder.queued() != 0) run_for(0.002);
    run_for(0.005);
  }
  // Runs in steps of `step` until cond() holds; false if it did not within `limit`.
  template <typename Cond>
  bool run_until_true(Cond cond, double limit, double step = 0.001) {
    const double end = now() + limit;
    while (!cond()) {
      if (now() >= end) return false;
      run_for(step);
    }
    return true;
  }
  bool all_black() { return screen::count_color(panel(), 0, 0, 480, 320, 0x0000) == 480 * 320; }

  std::unique_ptr<sim::Runner> runner;
};

}  // namespace unit
