// Ignition off while a screen of the menu blocks the main loop: the screen
// gives way as though the user had left it, the trip summary follows, the
// record is written with the trip up to that moment, and the relay lets go
// after `offtime`, so that the battery is not drained.
#include <ostream>
#include <string>

#include "unit_world.h"
#include "z_displ_ILI9XXX.h"

namespace {

using screen::shows_text;

struct Blocking {
  const char* name;
  int entry;
  bool held;  // the button held on: the screen waits for its release
};
void PrintTo(const Blocking& b, std::ostream* os) { *os << b.name; }

class IgnitionOffInAScreen : public unit::UnitWorld, public ::testing::WithParamInterface<Blocking> {
 protected:
  // Driving on petrol at 50 km/h; offtime 0.1 min: the relay lets go 6 s
  // after the record is written.
  IgnitionOffInAScreen() {
    start(unit::scenario(R"({"at": 2, "engine": {"rpm": 2000, "petrol_ms": 4}}, {"speed": {"kmh": 50, "over": 2}})",
                         0.1));
    run_to(6);
  }
  void enter(const Blocking& b) {
    press();
    run_for(0.4);
    for (int i = 0; i < b.entry; ++i) {
      turn(1);
      run_for(0.15);
    }
    ASSERT_EQ(sel, b.entry);
    world().button.press_for(host::from_seconds(b.held ? 60.0 : 0.1));
    run_for(1.0);
    ASSERT_EQ(menu, 1) << "the screen did not stay";
  }
};

TEST_P(IgnitionOffInAScreen, WritesTheTripAndDropsTheRelay) {
  const Blocking b = GetParam();
  enter(b);
  run_for(3.0);  // driving on while the screen runs
  const double km_in_screen = distpb;
  world().set_ignition(false);
  const double off = now();
  ASSERT_TRUE(run_until_true([&] { return shows_text(panel(), 10, 263, "sr. predkosc:", Font24, 0xFB20); }, 1.0, 0.01))
      << "no trip summary";
  EXPECT_EQ(menu, 0);
  // The trip as it stands: the car stopped with the ignition.
  const bc trip = {ch_start[0].distlpg + distlpg, ch_start[0].distpb + distpb, ch_start[0].pbcons + pbcons,
                   ch_start[0].lpgcons + lpgcons};
  EXPECT_GE(distpb, km_in_screen);
  run_to(off + 6.5);
  EXPECT_TRUE(powered());
  EXPECT_TRUE(shows_text(panel(), 10, 23, "dystans pb:", Font24, 0xFB20));
  run_to(off + 8.0);
  ASSERT_FALSE(powered()) << "the relay still holds the power";
  world().button.release();

  world().set_ignition(true);
  start_again();
  // The record as loaded (the car drives on since, from new live totals).
  EXPECT_EQ(eeprom_errors, 0);
  EXPECT_EQ(ch_start[0].distpb, trip.distpb);
  EXPECT_EQ(ch_start[0].pbcons, trip.pbcons);
  EXPECT_EQ(ch_start[0].distlpg, trip.distlpg);
  EXPECT_GE(ch_start[0].distpb, 100.0 + km_in_screen);
}

INSTANTIATE_TEST_SUITE_P(Screens, IgnitionOffInAScreen,
                         ::testing::Values(Blocking{"AccelerationTimer", 3, false}, Blocking{"About", 7, false},
                                           Blocking{"AboutWaitingForRelease", 7, true},
                                           Blocking{"Diagnostic", 8, false},
                                           Blocking{"DiagnosticWaitingForRelease", 8, true},
                                           Blocking{"SettingsWaitingForRelease", 4, true},
                                           Blocking{"ConfigurationWaitingForRelease", 5, true}),
                         [](const ::testing::TestParamInfo<Blocking>& i) { return std::string(i.param.name); });

}  // namespace
