// The configuration menu on the unit in its car: its two pages, the live
// calibrations and captures through the car and its senders, the edits and
// the limits they keep, the cruise-control test through the throttle.
#include <cmath>
#include <cstdio>

#include "analog_inputs.h"
#include "config_menu.h"
#include "eeprom_record.h"
#include "menu_rig.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

namespace {

using menu_rig::MenuRig;

const char* const kPageOne[12] = {
    "ekran glowny                 ", "kal. predkosci (50km/h)      ", "kal spalania LPG             ",
    "kal spalania PB              ", "dzielnik obrotow             ", "ustaw min. poziom PB         ",
    "ustaw max. poziom PB         ", "ustaw min. poziom LPG        ", "ustaw max. poziom LPG        ",
    "poj. zbiornika PB            ", "poj. zbiornika LPG           ", "typ obslugi gazu             ",
};
const char* const kPageTwo[10] = {
    "kalibracja napiecia          ", "min poziom PB                ", "max poziom PB                ",
    "min poziom LPG               ", "max poziom LPG               ", "tempomat P                   ",
    "tempomat I                   ", "tempomat D                   ", "zakres pracy s.krok.        ",
    "test tempomatu              ",
};

class ConfigMenu : public MenuRig {
 protected:
  void open(const std::string& record = "", const std::string& more = "") {
    start(R"("eeprom": {"record": {)" + record + "}}" + more);
    begin([] { config_menu(); });
    run_for(0.3);
    at_ = 0;
  }
  // The cursor moved forward from where it is to `item`.
  void go_to(int item) {
    turn(item - at_);
    at_ = item;
  }
  void edit(int item) {
    go_to(item);
    press();
  }
  int y_of(int item) { return item <= 11 ? 25 * item : 25 * (item - 11); }
  void expect_page_one(int highlighted) {
    for (int i = 0; i < 12; ++i) EXPECT_TRUE(list_line(25 * i, kPageOne[i], i == highlighted)) << "item " << i;
    EXPECT_TRUE(list_line(300, "    v         v          v    ", false));
  }
  void expect_page_two(int highlighted) {
    EXPECT_TRUE(list_line(0, "    ^         ^          ^   ", false));
    for (int i = 12; i <= 21; ++i)
      EXPECT_TRUE(list_line(y_of(i), kPageTwo[i - 12], i == highlighted)) << "item " << i;
    // Cleared at the page change: nothing of page 1 is left below.
    EXPECT_EQ(screen::count_color(panel(), 0, 275, 480, 45, BLACK), 480 * 45);
  }
  // The car at a steady true speed, long enough for the unit's filter.
  void drive_at(double kmh) {
    world().car.ramp_speed(kmh, host::from_seconds(2));
    run_for(6);
  }
  int at_ = 0;
};

TEST_F(ConfigMenu, PagesChangeWithAClearAndTheListWrapsBothWays) {
  open();
  expect_page_one(0);
  go_to(11);
  expect_page_one(11);
  turn(1);
  expect_page_two(12);
  turn(-1);
  expect_page_one(11);
  turn(-11);
  turn(-1);  // from the first line back to the last
  expect_page_two(21);
  turn(1);  // and on past the end
  expect_page_one(0);
  EXPECT_FALSE(returned());
  press();
  EXPECT_TRUE(returned());
  EXPECT_EQ(menu, 0);
  EXPECT_EQ(screen::count_color(panel(), 0, 0, 480, 320, BLACK), 480 * 320);
}

// A sensor of 4000 pulses per km reads 11 % fast with the default factor;
// a press at a true 50 km/h makes it read 50.
TEST_F(ConfigMenu, SpeedCalibrationAtATrueFiftyMakesTheUnitReadFifty) {
  open("", R"(, "car": {"pulses_per_km": 4000})");
  drive_at(50);
  EXPECT_NEAR(speed, 55.56f, 0.3f);
  go_to(1);
  press();
  EXPECT_TRUE(returned());
  EXPECT_EQ(menu, 0);
  EXPECT_NEAR(SPD_CAL, 0.9f, 0.005f);
  run_for(3);
  std::printf("speed after the calibration: %.2f km/h (SPD_CAL %.4f)\n", (double)speed, (double)SPD_CAL);
  EXPECT_NEAR(speed, 50.0f, 0.3f);
}

TEST_F(ConfigMenu, SpeedCalibrationAtFiveKmhOrLessChangesNothing) {
  open("", R"(, "car": {"pulses_per_km": 4000})");
  drive_at(4.0);  // shown as 4.4 km/h
  go_to(1);
  world().button.press();
  run_for(1.0);  // held: every pass tries again
  world().button.release();
  run_for(0.3);
  EXPECT_EQ(SPD_CAL, 1.0f);
  EXPECT_FALSE(returned());
  expect_page_one(1);
}

// The senders' ends captured with the tanks empty and full: the unit then
// reads the levels 0 and 1 there.
TEST_F(ConfigMenu, SenderCapturesGiveLevelsZeroAndOneAtTheCapturedEnds) {
  const char* items[4] = {"pb_min", "pb_max", "lpg_min", "lpg_max"};
  for (int end = 0; end < 4; ++end) {
    SCOPED_TRACE(items[end]);
    if (end > 0) restart_rig();
    open(R"("flvl": {"pb_min": 100, "pb_max": 200, "lpg_min": 100, "lpg_max": 200})");
    const bool petrol = end < 2, full = end % 2 == 1;
    const sim::Fuel fuel = petrol ? sim::Fuel::Petrol : sim::Fuel::Lpg;
    full ? world().car.fill(fuel, 1000) : world().car.drain(fuel, 1000);
    run_for(30);  // the battery voltage the petrol reading is compensated with settles
    const int reading = petrol ? pblvlraw : lpglvlraw;
    go_to(5 + end);
    press();
    EXPECT_TRUE(returned());
    EXPECT_EQ(menu, 0);
    const uint16_t captured[4] = {flvl.pb_min, flvl.pb_max, flvl.lpg_min, flvl.lpg_max};
    EXPECT_EQ(captured[end], reading);
    // The other end as a workshop would set it, then the level at this end.
    if (petrol) {
      (full ? flvl.pb_min : flvl.pb_max) = static_cast<uint16_t>(full ? 2978 : 434);
      run_for(40);  // the level filter settles
      EXPECT_NEAR(pblvl, full ? 1.0f : 0.0f, 0.01f);
    } else {
      (full ? flvl.lpg_min : flvl.lpg_max) = static_cast<uint16_t>(full ? 270 : 1801);
      EXPECT_EQ(map((float)lpglvlraw, flvl.lpg_min, flvl.lpg_max, 0.0f, 1.0f), full ? 1.0f : 0.0f);
    }
  }
}

TEST_F(ConfigMenu, FactorEditsStepByAThousandthAndStayWithinTheRecordsBounds) {
  open(R"("LPG_CAL": 0.102, "PB_CAL": 9.998)");
  edit(2);
  EXPECT_TRUE(value_line(50, "kal spal LPG    0.102         "));
  turn(-4);  // down to 0.1, which the record refuses: it stops above
  EXPECT_GT((double)LPG_CAL, 0.1);
  EXPECT_LT(LPG_CAL, 0.1015f);
  char shown[50];
  std::snprintf(shown, sizeof shown, "kal spal LPG    %.3f         ", (double)LPG_CAL);
  EXPECT_TRUE(value_line(50, shown));
  press();
  edit(3);
  turn(3);
  EXPECT_TRUE(value_line(75, "kal spal PB    9.999          "));
  EXPECT_LT(PB_CAL, 10.0f);
  turn(-1);
  EXPECT_TRUE(value_line(75, "kal spal PB    9.998          "));
  press();
  EXPECT_EQ(check_eeprom_integrity(), 0);
}

TEST_F(ConfigMenu, ChoicesWrapBothWays) {
  open(R"("injtype": 3, "lpgtype": 1)");
  edit(4);
  EXPECT_TRUE(value_line(100, "dzielnik obrotow: 1          "));
  turn(1);
  EXPECT_EQ(injtype, 1);
  EXPECT_TRUE(value_line(100, "dzielnik obrotow: 4          "));
  turn(1);
  EXPECT_TRUE(value_line(100, "dzielnik obrotow: 2          "));
  press();
  edit(11);
  EXPECT_TRUE(value_line(275, "typ obslugi gazu: 4-generacja"));
  turn(-1);
  EXPECT_EQ(lpgtype, 3);
  EXPECT_TRUE(value_line(275, "typ obslugi gazu: brak       "));
  turn(-1);
  EXPECT_TRUE(value_line(275, "typ obslugi gazu: 2-generacja"));
  turn(2);
  EXPECT_EQ(lpgtype, 1);
}

// The record keeps a tank of 5..300 litres; below or above, the next start
// would put a default in its place.
TEST_F(ConfigMenu, TankCapacitiesStepByALitreWithinFiveToThreeHundred) {
  open(R"("pbcap": 6, "lpgcap": 299)");
  edit(9);
  EXPECT_TRUE(value_line(225, "poj. zbiornika PB     6L   "));
  turn(-3);
  EXPECT_EQ(pbcap, 5);
  EXPECT_TRUE(value_line(225, "poj. zbiornika PB     5L   "));
  press();
  edit(10);
  turn(3);
  EXPECT_EQ(lpgcap, 300);
  EXPECT_TRUE(value_line(250, "poj. zbiornika LPG    300L    "));
  press();
  EXPECT_EQ(check_eeprom_integrity(), 0);
  // A capacity of 0 (as before the record is loaded) steps into the range.
  pbcap = 0;
  go_to(9);
  press();
  turn(-1);
  EXPECT_EQ(pbcap, 5);
  EXPECT_TRUE(value_line(225, "poj. zbiornika PB     5L   "));
}

TEST_F(ConfigMenu, SenderEndsStepByTenWithinTheAdcRange) {
  open(R"("flvl": {"pb_min": 5, "pb_max": 4090, "lpg_min": 15, "lpg_max": 434})");
  edit(13);
  turn(-1);  // stops at 0 rather than wrapping to the top of the scale
  EXPECT_EQ(flvl.pb_min, 0);
  EXPECT_TRUE(value_line(50, "min poziom PB 0   "));
  press();
  edit(14);
  turn(1);
  EXPECT_EQ(flvl.pb_max, 4095);
  EXPECT_TRUE(value_line(75, "max poziom PB 4095   "));
  press();
  edit(15);
  turn(-1);
  EXPECT_TRUE(value_line(100, "min poziom LPG 5   "));
  press();
  edit(16);
  turn(2);
  EXPECT_TRUE(value_line(125, "max poziom LPG 454   "));
}

TEST_F(ConfigMenu, GainsStepByAHundredthWithinZeroToTen) {
  open(R"("cc_Pgain": 0.01, "cc_Igain": 9.99, "cc_Dgain": 0.2)");
  edit(17);
  turn(-2);
  EXPECT_EQ(cc_Pgain, 0.0f);
  EXPECT_TRUE(value_line(150, "tempomat P 0.00  "));
  press();
  edit(18);
  turn(2);
  EXPECT_EQ(cc_Igain, 10.0f);
  EXPECT_TRUE(value_line(175, "tempomat I 10.00  "));
  press();
  edit(19);
  turn(1);
  EXPECT_TRUE(value_line(200, "tempomat D 0.21  "));
  press();
  EXPECT_EQ(check_eeprom_integrity(), 0);
}

// The voltage line shows the measured battery voltage, which follows the
// factor as the ADC task's filter settles.
TEST_F(ConfigMenu, VoltageCalibrationShowsTheVoltageTheFactorProduces) {
  open(R"("Voltage_CAL": 1.0)");
  run_for(30);  // the filter settles from 0
  const float before = voltage;
  edit(12);
  char shown[50];
  std::snprintf(shown, sizeof shown, "kalibracja napiecia   %.2fV  ", (double)voltage);
  EXPECT_TRUE(value_line(25, shown));
  turn(20);  // + 2 %
  EXPECT_NEAR(Voltage_CAL, 1.02f, 1e-5f);
  run_for(10);
  EXPECT_NEAR(voltage, before * 1.02f, 0.02f);
  std::snprintf(shown, sizeof shown, "kalibracja napiecia   %.2fV  ", (double)voltage);
  EXPECT_TRUE(value_line(25, shown));
  // At most 2, the largest factor the record keeps.
  Voltage_CAL = 1.999f;
  turn(3);
  EXPECT_EQ(Voltage_CAL, 2.0f);
}

TEST_F(ConfigMenu, CruiseTestRunsTheThrottleOutAndBackWithTheCarStanding) {
  open(R"("stepper_range": 1000)");
  edit(21);
  EXPECT_TRUE(line(250, "test tempomatu              ", BLACK, RED));
  run_for(3);
  const auto& throttle = world().car.throttle();
  EXPECT_EQ(ccenable, 1);
  EXPECT_EQ(targetspeed, 200.0f);
  // Out to the whole range, short of it by the control's dead band at most.
  EXPECT_GE(throttle.position_steps(), 1000 - 30);
  EXPECT_LE(throttle.position_steps(), 1000);
  press();
  EXPECT_EQ(ccenable, 0);
  EXPECT_EQ(targetspeed, 0.0f);
  run_for(3);
  EXPECT_EQ(throttle.position_steps(), 0);
  EXPECT_FALSE(throttle.energised());
  EXPECT_EQ(throttle.lost_steps(), 0u);
  EXPECT_TRUE(list_line(250, kPageTwo[9], true));
}

// A range stepped down from 0 wrapped to 65535: the test then drove the
// motor against the throttle's end stop.
TEST_F(ConfigMenu, StepperRangeStaysWithinZeroToFourThousand) {
  open(R"("stepper_range": 0)");
  edit(20);
  turn(-1);
  EXPECT_EQ(stepper_range, 0);
  EXPECT_TRUE(value_line(225, "zakres pracy s.krok. 0  "));
  press();
  go_to(21);
  press();
  run_for(3);
  press();
  run_for(1);
  EXPECT_EQ(world().car.throttle().position_steps(), 0);
  EXPECT_EQ(world().car.throttle().lost_steps(), 0u);
  stepper_range = 3999;
  go_to(20);
  press();
  turn(3);
  EXPECT_EQ(stepper_range, 4000);
  EXPECT_TRUE(value_line(225, "zakres pracy s.krok. 4000  "));
}

TEST_F(ConfigMenu, IgnitionOffEndsTheMenuAndTheCruiseTest) {
  for (int where = 0; where < 3; ++where) {
    SCOPED_TRACE(where);
    if (where > 0) restart_rig();
    open();
    if (where == 1) edit(9);
    if (where == 2) {
      turn(-1);
      press();
      run_for(1);
      ASSERT_EQ(ccenable, 1);
    }
    world().set_ignition(false);
    run_for(0.2);
    EXPECT_TRUE(returned());
    EXPECT_EQ(menu, 0);
    EXPECT_EQ(ccenable, 0);
    EXPECT_EQ(targetspeed, 0.0f);
    EXPECT_EQ(screen::count_color(panel(), 0, 0, 480, 320, BLACK), 480 * 320);
  }
}

}  // namespace
