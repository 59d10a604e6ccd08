// A new unit set up from its own screens: the built-in first set-up in a car
// whose sensor gives 4000 pulses per km and whose LPG system signals with a
// level. After the orderly power-down the next start reads true.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "sim/json.h"
#include "sim/runner.h"
#include "sim/scenario.h"

namespace {

namespace fs = std::filesystem;

TEST(FirstSetup, TheNextStartReadsTrue) {
  const fs::path dir = fs::temp_directory_path() / ("kp-first-setup-test-" + std::to_string(getpid()));
  fs::remove_all(dir);
  sim::RunOptions o;
  o.out_dir = dir.string();
  sim::Runner(sim::resolve_scenario("first-setup"), o).run();
  const auto state = [&](const std::string& snapshot) {
    std::ifstream in(dir / ("state-" + snapshot + ".json"));
    EXPECT_TRUE(in) << "no snapshot " << snapshot;
    return sim::json::parse(in);
  };

  EXPECT_EQ(state("new-unit-repairs")["eeprom_errors"].get<int>(), 24);  // an erased chip
  EXPECT_NEAR(state("before-calibration")["speed"].get<double>(), 50.0 * 4000 / 3600, 0.3);
  const sim::json calibrated = state("after-calibration");
  EXPECT_EQ(calibrated["menu"].get<int>(), 0);
  EXPECT_NEAR(calibrated["SPD_CAL"].get<double>(), 0.9, 0.002);
  EXPECT_NEAR(calibrated["speed"].get<double>(), 50.0, 0.3);

  const sim::json done = state("set-up-done");
  // The petrol sender falls as the tank fills, the LPG one rises.
  EXPECT_NEAR(done["flvl"]["pb_min"].get<int>(), 2978, 120);
  EXPECT_NEAR(done["flvl"]["pb_max"].get<int>(), 434, 30);
  EXPECT_NEAR(done["flvl"]["lpg_min"].get<int>(), 270, 5);
  EXPECT_NEAR(done["flvl"]["lpg_max"].get<int>(), 1801, 5);
  EXPECT_EQ(done["pbcap"].get<int>(), 50);
  EXPECT_EQ(done["lpgcap"].get<int>(), 40);
  EXPECT_EQ(done["lpgtype"].get<int>(), 2);

  EXPECT_FALSE(state("powered-down")["pins"]["powered"].get<bool>());

  const sim::json next = state("next-start");
  EXPECT_EQ(next["eeprom_errors"].get<int>(), 0);
  EXPECT_EQ(next["SPD_CAL"], calibrated["SPD_CAL"]);
  EXPECT_EQ(next["lpgtype"].get<int>(), 2);
  std::printf("next start: %.2f km/h shown at a true %.1f; petrol %.1f l shown, %.1f l in the tank; "
              "LPG %.1f l shown, %.1f l in the tank\n",
              next["speed"].get<double>(), next["world"]["speed_kmh"].get<double>(),
              next["pbcap"].get<double>() * next["pblvl"].get<double>(), next["world"]["tank_petrol_l"].get<double>(),
              next["lpgcap"].get<double>() * next["lpglvl"].get<double>(), next["world"]["tank_lpg_l"].get<double>());
  EXPECT_NEAR(next["speed"].get<double>(), next["world"]["speed_kmh"].get<double>(), 0.3);
  EXPECT_EQ(next["IsOnLpg"].get<int>(), 1);  // the level signal says LPG
  EXPECT_NEAR(next["pbcap"].get<double>() * next["pblvl"].get<double>(), next["world"]["tank_petrol_l"].get<double>(),
              1.0);
  EXPECT_NEAR(next["lpgcap"].get<double>() * next["lpglvl"].get<double>(), next["world"]["tank_lpg_l"].get<double>(),
              1.0);
  fs::remove_all(dir);
}

}  // namespace
