// The sensors through the world: a tank filled with the ignition off and
// the refuel dialogue at the next start, the thermometer's faults, and what
// the main screen shows of the levels and the outside temperature.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "screen.h"
#include "sim/ili9488.h"
#include "sim/runner.h"
#include "sim/sensors.h"
#include "vehicle_state.h"

namespace {

using host::Time;

// A calibrated unit whose tanks were nearly empty at the last power-down.
const char* kUnit = R"("eeprom": {"record": {"lpgtype": 1, "pbcap": 45, "lpgcap": 30, "autoreset": AUTORESET,
      "flvl": {"pb_min": 2978, "pb_max": 434, "lpg_min": 270, "lpg_max": 1801}, "pblvl": 0.15, "lpglvl": 0.15,
      "ch": [{"distpb": 100, "pbcons": 8, "distlpg": 50, "lpgcons": 5}, {"distpb": 7}]}},
    "car": {"petrol_litres": 6, "lpg_litres": 4})";

std::string scenario(const std::string& steps, int autoreset = 1, const std::string& more = "") {
  std::string unit = kUnit;
  unit.replace(unit.find("AUTORESET"), 9, std::to_string(autoreset));
  return "{" + unit + more + ", \"steps\": [" + steps + "]}";
}

class World : public ::testing::Test {
 protected:
  void start(const std::string& text) {
    sim::RunOptions o;
    o.write_files = false;
    runner = std::make_unique<sim::Runner>(sim::parse_scenario(text, "test"), o);
  }
  void run_to(double s) { runner->run_until(s); }
  const sim::Ili9488& panel() { return runner->world().part<sim::TftDisplay>()->panel; }
  // Runs on until the screen shows the text (or the time limit).
  double wait_for_text(double limit, int x, int y, const std::string& text, const sFONT& font) {
    for (double t = host::to_seconds(runner->machine().now()); t < limit; t += 0.1) {
      run_to(t);
      if (screen::shows_text(panel(), x, y, text, font, 0xFFFF)) return t;
    }
    return -1;
  }
  std::unique_ptr<sim::Runner> runner;
};

TEST_F(World, ATankFilledWithTheIgnitionOffIsOfferedAsATripResetAtTheNextStart) {
  start(scenario(R"({"fill": "petrol"}, {"at": 1, "ignition": true}, {"wait": 40})"));
  const double shown = wait_for_text(30, 0, 40, "Zatankowano benzyne", Font32);
  ASSERT_GT(shown, 0) << "no refuel dialogue";
  EXPECT_GT(pblvl, 0.8f);
  EXPECT_TRUE(screen::shows_text(panel(), 0, 100, "Nastapi reset kan.1", Font32, 0xFFFF));
  EXPECT_EQ(ch[0].distpb, 100.0);  // not yet: the countdown runs
  run_to(shown + 2.0);
  EXPECT_TRUE(screen::shows_text(panel(), 0, 160, "Anuluj..3s", Font32, 0xFFFF) ||
              screen::shows_text(panel(), 0, 160, "Anuluj..2s", Font32, 0xFFFF));
  run_to(shown + 5.5);
  EXPECT_EQ(ch[0].distpb, 0.0);  // channel 1's petrol counters start again
  EXPECT_EQ(ch[0].pbcons, 0.0);
  EXPECT_EQ(ch[0].distlpg, 50.0);  // its LPG ones and the other channels stay
  EXPECT_EQ(ch[1].distpb, 7.0);
  EXPECT_EQ(pblvl_start, 0.8f);
}

TEST_F(World, APressDuringTheCountdownCancelsTheReset) {
  start(scenario(R"({"fill": "petrol"}, {"at": 1, "ignition": true}, {"wait": 60})"));
  const double shown = wait_for_text(30, 0, 40, "Zatankowano benzyne", Font32);
  ASSERT_GT(shown, 0);
  runner->world().button.press_for(host::from_ms(500));
  run_to(shown + 10);
  EXPECT_EQ(ch[0].distpb, 100.0);
  EXPECT_EQ(pblvl_start, 0.8f);
  // The dialogue does not come back while the unit stays on.
  EXPECT_EQ(wait_for_text(shown + 30, 0, 40, "Zatankowano benzyne", Font32), -1);
}

TEST_F(World, BothTanksFilledGivePetrolThenLpg) {
  // The LPG level moves only while the engine runs on LPG: it passes 0.8
  // two seconds after the petrol level, while the petrol dialogue waits.
  start(scenario(R"({"fill": "petrol"}, {"fill": "lpg"}, {"at": 1, "ignition": true}, {"fuel": "lpg"},
                    {"at": 3, "engine": {"rpm": 900, "petrol_ms": 3, "lpg_ms": 3.5}}, {"wait": 60})"));
  const double petrol = wait_for_text(30, 0, 40, "Zatankowano benzyne", Font32);
  ASSERT_GT(petrol, 0);
  const double lpg = wait_for_text(petrol + 20, 0, 40, "Zatankowano gaz", Font32);
  ASSERT_GT(lpg, petrol + 4.9);
  run_to(lpg + 5.5);
  EXPECT_EQ(ch[0].distpb, 0.0);
  EXPECT_EQ(ch[0].distlpg, 0.0);
  EXPECT_LT(ch[0].lpgcons, 0.001);  // only what the idling engine burnt since (it was 5 l)
}

TEST_F(World, WithAutoresetOffNothingIsShown) {
  start(scenario(R"({"fill": "petrol"}, {"at": 1, "ignition": true}, {"wait": 30})", 0));
  EXPECT_EQ(wait_for_text(25, 0, 40, "Zatankowano benzyne", Font32), -1);
  EXPECT_GT(pblvl, 0.9f);
  EXPECT_EQ(ch[0].distpb, 100.0);
}

TEST_F(World, TheFilledTanksBarAndTheOutsideTemperatureOnTheMainScreen) {
  start(scenario(R"({"fill": "petrol"}, {"at": 1, "ignition": true}, {"outside_temp": 21.5}, {"wait": 60})", 0));
  run_to(50);
  // On petrol the petrol bar is 20 wide at x 440; nearly full now.
  EXPECT_GT(pblvl, 0.97f);
  const int green = screen::count_color(panel(), 440, 10, 20, 300, 0x07E0);
  EXPECT_GT(green, 20 * 290);
  EXPECT_TRUE(screen::shows_text(panel(), 0, 210, "Temp zewn:  21.5*C", Font20, 0xFFFF));
}

TEST_F(World, ThermometerFaultsKeepTheLastValueAndNothingStopsTheLoop) {
  start(scenario(R"({"at": 1, "ignition": true}, {"outside_temp": -4.5}, {"at": 10, "thermometer": "lost"},
                    {"at": 12, "outside_temp": 30}, {"at": 20, "thermometer": "back"},
                    {"at": 30, "thermometer": "corrupt"}, {"wait": 10})"));
  auto* sensors = runner->world().part<sim::SensorsPart>();
  run_to(9.9);
  EXPECT_EQ(temp, -4.5f);
  const auto conversions = sensors->thermometer()->conversions();
  run_to(19.9);
  EXPECT_EQ(temp, -4.5f);  // the last good value
  EXPECT_LE(sensors->thermometer()->conversions(), conversions + 1);  // none started without a good read
  EXPECT_GT(runner->firmware().read<std::uint32_t>("TM_Time"), 18000u);
  run_to(29.9);
  EXPECT_EQ(temp, 30.0f);  // found again
  const auto before_corrupt = sensors->thermometer()->conversions();
  run_to(32);
  EXPECT_EQ(temp, 30.0f);  // the spoilt read-out was read again
  EXPECT_GT(sensors->thermometer()->conversions(), before_corrupt);
}

// The 1-Wire line's busy stretches: the check for a finished conversion on
// every pass of the main loop, and a whole read-out now and then.
struct LineWatch : host::PinListener {
  host::Time burst_start = 0, last_edge = 0;
  std::vector<host::Time> bursts;
  void on_pin_level(host::PinId, host::Time t, bool) override {
    if (t - last_edge > host::kTimePerMs) {
      if (last_edge != 0) bursts.push_back(last_edge - burst_start);
      burst_start = t;
    }
    last_edge = t;
  }
};

TEST_F(World, TheOneWireBusyTimeOfAPassAndOfAReadOut) {
  start(scenario(R"({"at": 1, "ignition": true}, {"wait": 20})"));
  LineWatch watch;
  run_to(8);
  runner->machine().gpio().add_listener(host::pin_id('B', 9), &watch);
  run_to(20);
  runner->machine().gpio().remove_listener(host::pin_id('B', 9), &watch);
  ASSERT_GT(watch.bursts.size(), 20u);
  host::Time shortest = host::kNever, longest = 0;
  for (host::Time b : watch.bursts) {
    shortest = std::min(shortest, b);
    longest = std::max(longest, b);
  }
  std::printf("1-Wire line: %.3f ms of activity for the check on a pass (one 63 µs read slot), %.2f ms for a "
              "read-out with the start of the next conversion\n",
              host::to_ms(shortest), host::to_ms(longest));
  EXPECT_LT(host::to_ms(shortest), 0.1);
  EXPECT_LT(host::to_ms(longest), 16.0);
}

TEST_F(World, WithoutAThermometerTheTemperatureStaysZeroAndTheUnitStarts) {
  start(scenario(R"({"at": 1, "ignition": true}, {"wait": 15})", 1, R"(, "sensors": {"thermometer": false})"));
  run_to(15);
  EXPECT_EQ(temp, 0.0f);
  EXPECT_EQ(DS_ROM[0], 0);
  EXPECT_EQ(drawlumo, 0);  // the start-up went through to the main loop
}

}  // namespace
