// The built-in tour reaches every screen it names: a press or a turn that
// misses would send the rest of it through other screens.
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

struct Stop {
  const char* snapshot;
  int menu;  // -1: unpowered
  int sel;   // -1: any
};

TEST(Tour, EachSnapshotShowsTheScreenItIsNamedAfter) {
  const fs::path dir = fs::temp_directory_path() / ("kp-tour-test-" + std::to_string(getpid()));
  fs::remove_all(dir);
  sim::RunOptions o;
  o.out_dir = dir.string();
  sim::Runner(sim::resolve_scenario("tour"), o).run();

  const Stop stops[] = {
      {"main", 0, 0},
      {"menu", 1, 0},
      {"menu-wrap-to-bottom", 1, 8},
      {"menu-wrap-to-top", 1, 0},
      {"menu-reset-gazu", 1, 1},
      {"main-after-reset-gazu", 0, 0},
      {"menu-reset-benzyny", 1, 2},
      {"main-after-reset-benzyny", 0, 0},
      {"menu-pomiar-przyspieszenia", 1, 3},
      {"menu-ustawienia", 1, 4},
      {"menu-konfiguracja", 1, 5},
      {"menu-gierka", 1, 6},
      {"gierka", 1, 6},
      {"menu-informacje", 1, 7},
      {"about", 1, 7},
      {"menu-after-about", 1, 7},
      {"menu-ekran-diagnostyczny", 1, 8},
      {"diagnostic", 1, 8},
      {"main-after-diagnostic", 0, 0},
      {"settings", 1, 0},
      {"settings-edit-oledparam", 1, 3},
      {"settings-factory-reset-hold", 1, 7},
      {"config", 1, 5},
      {"config-capture-lpg-full", 1, 5},
      {"config-page-2", 1, 5},
      {"config-voltage-calibration", 1, 5},
      {"config-cruise-test", 1, 5},
      {"main-after-config", 0, 0},
      {"accel-go", 1, 3},
      {"accel-running", 1, 3},
      {"accel-results", 1, 3},
      {"main-after-accel", 0, 0},
      {"accel-stop-first", 1, 3},
      {"accel-go-after-stop", 1, 3},
      {"trip-summary", 0, -1},
      {"unpowered", -1, -1},
  };
  for (const Stop& s : stops) {
    std::ifstream in(dir / ("state-" + std::string(s.snapshot) + ".json"));
    ASSERT_TRUE(in) << "no snapshot " << s.snapshot;
    const sim::json state = sim::json::parse(in);
    if (s.menu < 0) {
      EXPECT_FALSE(state["pins"]["powered"].get<bool>()) << s.snapshot;
      continue;
    }
    EXPECT_EQ(state["menu"].get<int>(), s.menu) << s.snapshot;
    if (s.sel >= 0) {
      EXPECT_EQ(state["sel"].get<int>(), s.sel) << s.snapshot;
    }
    EXPECT_EQ(state["active_ch"].get<int>(), 1) << s.snapshot;
  }
  const auto value = [&](const std::string& snapshot, const char* name) {
    std::ifstream in(dir / ("state-" + snapshot + ".json"));
    return sim::json::parse(in)[name];
  };
  EXPECT_EQ(value("accel-go", "running").get<int>(), 0);
  EXPECT_EQ(value("accel-running", "running").get<int>(), 1);
  EXPECT_GT(value("accel-results", "time100").get<double>(), 9.0);
  EXPECT_EQ(value("accel-stop-first", "ready").get<int>(), 0);
  EXPECT_EQ(value("accel-go-after-stop", "ready").get<int>(), 1);
  EXPECT_EQ(value("main-after-reset-gazu", "ch")[0]["distlpg"].get<double>(), 0.0);
  EXPECT_LT(value("main-after-reset-benzyny", "ch")[0]["distpb"].get<double>(), 0.001);
  EXPECT_EQ(value("main-after-config", "oledparam").get<int>(), 3);  // the settings menu's edit
  EXPECT_EQ(value("main-after-config", "eeprom_errors").get<int>(), 0);  // the hold was let go in time
  EXPECT_GT(value("config-voltage-calibration", "Voltage_CAL").get<double>(), 1.019);
  EXPECT_EQ(value("config-cruise-test", "ccenable").get<int>(), 1);
  EXPECT_EQ(value("main-after-config", "ccenable").get<int>(), 0);
  {
    std::ifstream in(dir / "state-config-cruise-test.json");
    EXPECT_GE(sim::json::parse(in)["world"]["throttle_steps"].get<int>(), 2000 - 30);
  }
  fs::remove_all(dir);
}

}  // namespace
