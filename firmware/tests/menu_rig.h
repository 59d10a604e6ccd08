// The unit in its car, with the main task's loop replaced by the test: the
// board, the OLED and ADC tasks and the start-up of the real firmware, then
// whatever a test hands to the main task (a menu), while the test drives the
// world: the encoder and its button, the car, the ignition. Any later start
// (a restart, a power cycle) runs the whole real firmware.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "fontsLCD.h"
#include "host/machine.h"
#include "screen.h"
#include "sim/ili9488.h"
#include "sim/scenario.h"
#include "sim/world.h"
#include "test_image.h"

namespace menu_rig {

class MenuRig : public ::testing::Test {
 protected:
  MenuRig();
  ~MenuRig() override;

  // Builds the world from a scenario's sections (its steps are not used),
  // turns the key and runs through the start-up.
  void start(const std::string& sections = "");
  // A new board and world, as for a new test.
  void restart_rig();
  // Hands body to the main task (it starts at once) and runs 50 ms.
  void begin(std::function<void()> body);
  // The body has returned.
  bool returned() const;
  // Boots of the board so far (the first is the rig's).
  int boots() const;

  void run_for(double seconds) { machine_->run_for(host::from_seconds(seconds)); }
  double now() const { return host::to_seconds(machine_->now()); }
  // Encoder detents one at a time, each given time to be acted on.
  void turn(int detents);
  // A click of the encoder button: longer than a pass of the longest list
  // (which reads the button once per pass), shorter than the 200 ms after
  // which an edit looks at the button again; then 0.3 s.
  void press(double seconds = 0.18);

  sim::World& world() { return *world_; }
  host::Machine& machine() { return *machine_; }
  const sim::Ili9488& panel() { return world_->part<sim::TftDisplay>()->panel; }
  // A Font24 line at (0, y) in the given colours.
  ::testing::AssertionResult line(int y, const std::string& text, std::uint16_t color, std::uint16_t background);
  // A list line, highlighted (black on white) or not (white on black).
  ::testing::AssertionResult list_line(int y, const std::string& text, bool highlighted);
  // An edit's value line (green on black).
  ::testing::AssertionResult value_line(int y, const std::string& text);

 private:
  test::TestImage image_;
  std::unique_ptr<host::Machine> machine_;  // made once the image names its entry point
  sim::Scenario scenario_;
  std::unique_ptr<sim::World> world_;
  std::function<void()> body_;
};

}  // namespace menu_rig
