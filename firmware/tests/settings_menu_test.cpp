// The settings menu on the unit in its car: the list and its wrap, each
// setting edited in place with its steps and limits, the factory reset, and
// the menu ending when the ignition goes off.
#include <algorithm>
#include <cstdio>

#include "eeprom_record.h"
#include "menu_rig.h"
#include "settings_menu.h"
#include "sim/eeprom_world.h"
#include "unit_world.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

namespace {

using menu_rig::MenuRig;

const char* const kList[8] = {
    "ekran glowny                 ", "autoreset przy tankowaniu    ", "czas wylaczenia              ",
    "3ci par. oled                ", "max czas wtysku              ", "odwroc enkoder               ",
    "pokaz wskazania s.Lambda     ", "Ustaw fabryczne (trzymaj 5s) ",
};

class SettingsMenu : public MenuRig {
 protected:
  // The unit with a complete, plausible record (plus the given values),
  // the settings menu open.
  void open(const std::string& record = "", const std::string& more = "") {
    start(R"("eeprom": {"record": {)" + record + "}" + more + "}");
    begin([] { settings_menu(); });
    run_for(0.3);
  }
  // The highlight is on `line` and nowhere else.
  void expect_highlight(int line) {
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(list_line(25 * i, kList[i], i == line)) << "line " << i;
  }
  // From the first line down to `line`, and open it.
  void edit(int line) {
    turn(line);
    press();
  }
  std::vector<std::uint8_t> eeprom() { return world().part<sim::EepromPart>()->chip().image(); }
  bool screen_blank() { return screen::count_color(panel(), 0, 0, 480, 320, BLACK) == 480 * 320; }
};

TEST_F(SettingsMenu, TheHighlightFollowsTheEncoderAndWrapsBothWays) {
  open();
  expect_highlight(0);
  turn(-1);  // from the first line back to the last
  expect_highlight(7);
  turn(1);  // and forward again past the end
  expect_highlight(0);
  turn(3);
  expect_highlight(3);
  EXPECT_EQ(sel, 3);
  EXPECT_FALSE(returned());
}

TEST_F(SettingsMenu, APressOnTheFirstLineLeavesWithTheScreenCleared) {
  open();
  turn(2);
  turn(-2);
  press();
  EXPECT_TRUE(returned());
  EXPECT_EQ(menu, 0);
  EXPECT_EQ(sel, 0);
  EXPECT_TRUE(screen_blank());
}

TEST_F(SettingsMenu, OfftimeStepsByATenthAndStopsAtZeroAndBelowTwentyMinutes) {
  open(R"("offtime": 0.2)");
  edit(2);
  EXPECT_TRUE(value_line(50, "czas wylaczenia  0.2min "));
  turn(-4);  // past 0
  EXPECT_EQ(offtime, 0.0f);
  EXPECT_TRUE(value_line(50, "czas wylaczenia  0.0min "));
  turn(2);
  EXPECT_TRUE(value_line(50, "czas wylaczenia  0.2min "));
  EXPECT_FLOAT_EQ(offtime, 0.2f);
  press();  // closes the edit: the list line again
  EXPECT_TRUE(list_line(50, kList[2], true));
  EXPECT_FALSE(returned());
}

// The stored record keeps only a delay below 20 min; one that reached 20
// would come back as 1 min at the next start.
TEST_F(SettingsMenu, OfftimeNeverReachesTheTwentyMinutesTheRecordRefuses) {
  open(R"("offtime": 19.8)");
  edit(2);
  turn(3);
  EXPECT_TRUE(value_line(50, "czas wylaczenia  19.9min "));
  EXPECT_LT(offtime, 20.0f);
  press();
  const float kept = offtime;
  EXPECT_EQ(check_eeprom_integrity(), 0);
  EXPECT_EQ(offtime, kept);
}

TEST_F(SettingsMenu, MaxinjtimeStaysAtATenthAtTheBottomAndBelowFortyAtTheTop) {
  open(R"("maxinjtime": 0.1)");
  edit(4);
  turn(-1);
  EXPECT_TRUE(value_line(100, "max czas wtysku: 0.1ms "));
  EXPECT_EQ(maxinjtime, 0.1f);
  turn(1);
  EXPECT_TRUE(value_line(100, "max czas wtysku: 0.2ms "));
  press();
  maxinjtime = 39.8f;
  press();  // open it again
  turn(4);
  EXPECT_LT(maxinjtime, 40.0f);
  char shown[50];
  std::snprintf(shown, sizeof shown, "max czas wtysku: %.1fms ", (double)maxinjtime);
  EXPECT_TRUE(value_line(100, shown));
  press();
  const float kept = maxinjtime;
  EXPECT_EQ(check_eeprom_integrity(), 0);
  EXPECT_EQ(maxinjtime, kept);
}

TEST_F(SettingsMenu, TheOledLineChoiceWrapsBothWays) {
  open(R"("oledparam": 4)");
  edit(3);
  EXPECT_TRUE(value_line(75, "3ci par. oled: sr spalanie   "));
  turn(1);
  EXPECT_EQ(oledparam, 1);
  EXPECT_TRUE(value_line(75, "3ci par. oled: temp zewn     "));
  turn(-1);
  EXPECT_EQ(oledparam, 4);
  turn(-2);
  EXPECT_TRUE(value_line(75, "3ci par. oled: obc. silnika  "));
  turn(-1);
  EXPECT_TRUE(value_line(75, "3ci par. oled: temp zewn     "));
}

TEST_F(SettingsMenu, SwitchesTurnOverEitherWay) {
  open(R"("autoreset": 1, "lambda_enable": 0)");
  edit(1);
  EXPECT_TRUE(value_line(25, "autoreset przy tankowaniu ON "));
  turn(-1);
  EXPECT_EQ(autoreset, 0);
  EXPECT_TRUE(value_line(25, "autoreset przy tankowaniu OFF"));
  turn(-1);
  EXPECT_EQ(autoreset, 1);
  press();
  turn(5);
  press();
  EXPECT_TRUE(value_line(150, "pokaz wskazania s.Lambda  OFF "));
  turn(1);
  EXPECT_EQ(lambda_enable, 1);
  EXPECT_TRUE(value_line(150, "pokaz wskazania s.Lambda   ON "));
}

// After an erased record the lambda switch holds 255, which the main screen
// treats as on: the line says so, and a step turns it off.
TEST_F(SettingsMenu, ALambdaSwitchOtherThanZeroOrOneShowsAsOn) {
  open(R"("lambda_enable": 255)");
  edit(6);
  EXPECT_TRUE(value_line(150, "pokaz wskazania s.Lambda   ON "));
  turn(1);
  EXPECT_EQ(lambda_enable, 0);
  EXPECT_TRUE(value_line(150, "pokaz wskazania s.Lambda  OFF "));
}

// The encoder's direction changes at once, for the rest of the menu too.
TEST_F(SettingsMenu, InvertingTheEncoderTakesEffectAtOnce) {
  open();
  edit(5);
  EXPECT_TRUE(value_line(125, "odwroc enkoder           OFF "));
  turn(1);
  EXPECT_EQ(enc_inv, 1);
  EXPECT_TRUE(value_line(125, "odwroc enkoder           ON  "));
  press();
  turn(1);  // now a forward turn moves the highlight up
  expect_highlight(4);
}

TEST_F(SettingsMenu, TheListResumesOnlyAfterTheClosingPressIsReleased) {
  open(R"("offtime": 1.0)");
  edit(2);
  world().button.press();
  run_for(1.0);
  EXPECT_TRUE(value_line(50, "czas wylaczenia  1.0min "));  // still the value line
  world().button.release();
  run_for(0.3);
  EXPECT_TRUE(list_line(50, kList[2], true));
}

TEST_F(SettingsMenu, AHoldShorterThanFiveSecondsLeavesEverythingAsItWas) {
  open();
  turn(-1);
  const auto before = eeprom();
  world().button.press();
  run_for(0.5);
  EXPECT_TRUE(line(175, kList[7], BLACK, RED));
  run_for(4.5);  // released within 5 s of the hold, counted from 200 ms after the press
  world().button.release();
  run_for(0.5);
  EXPECT_EQ(eeprom(), before);
  EXPECT_EQ(boots(), 1);
  expect_highlight(7);
}

TEST_F(SettingsMenu, AFiveSecondHoldErasesTheRecordAndTheNextStartRepairsIt) {
  open(R"("pbcap": 60)");
  turn(-1);
  world().button.press();
  run_for(5.4);
  world().button.release();  // too late: the erase goes on
  run_for(1.5);
  const auto image = eeprom();
  for (int a = 0; a < 200; ++a) ASSERT_EQ(image[a], 0xFF) << "byte " << a;
  EXPECT_EQ(boots(), 2);  // restarted
  // The next start finds every tested value implausible and says how many.
  run_for(4.0);
  EXPECT_TRUE(line(120, "znaleziono 24 blad w pamieci", WHITE, BLACK));
  EXPECT_EQ(pbcap, 45);
}

// The OLED task sends a frame nearly all the time (a frame is about 90 ms
// of the 100 kHz bus); stopping it in the middle of one left the bus to the
// erase half-way through a transfer.
TEST_F(SettingsMenu, TheEraseWaitsForTheOledToFinishItsFrame) {
  for (int run = 0; run < 20; ++run) {
    SCOPED_TRACE(run);
    if (run > 0) restart_rig();
    start(R"("eeprom": {"record": {}})");
    begin([] { settings_menu(); });
    run_for(0.0137 * run);  // the hold ends elsewhere in the OLED's frame
    turn(-1);
    world().button.press();
    run_for(5.4);
    world().button.release();
    run_for(1.5);
    const auto image = eeprom();
    EXPECT_EQ(std::count(image.begin(), image.begin() + 200, 0xFF), 200);
    EXPECT_EQ(boots(), 2);
  }
}

TEST_F(SettingsMenu, AnEepromThatDoesNotAnswerIsReportedAndTheUnitStaysOn) {
  open("", R"(, "stops_answering_at": 1.5)");
  turn(-1);
  world().button.press();
  run_for(5.4);
  EXPECT_TRUE(line(175, "blad pamieci                 ", BLACK, RED));
  run_for(1.5);
  EXPECT_TRUE(line(175, "blad pamieci                 ", BLACK, RED));  // 2 s
  world().button.release();
  run_for(1.0);
  EXPECT_EQ(boots(), 1);  // no restart as though it had worked
  expect_highlight(7);
  EXPECT_FALSE(returned());
}

// While a menu runs the main loop does not see the ignition; the menu ends
// so that the power-down runs at once.
TEST_F(SettingsMenu, IgnitionOffEndsTheMenuFromTheListAnEditOrTheHold) {
  for (int where = 0; where < 3; ++where) {
    SCOPED_TRACE(where);
    if (where > 0) restart_rig();
    open();
    if (where == 1) edit(2);
    if (where == 2) {
      turn(-1);
      world().button.press();
      run_for(1.0);
    }
    world().set_ignition(false);
    run_for(0.2);
    EXPECT_TRUE(returned());
    EXPECT_EQ(menu, 0);
    EXPECT_EQ(sel, 0);
    EXPECT_TRUE(screen_blank());
    EXPECT_EQ(boots(), 1);  // the hold did not go on to the erase
  }
}

}  // namespace

// ---------------------------------------------------------------- through the menu, across a power cycle


namespace {

// The menus change RAM only: an edit is kept by the orderly power-down and
// lost when the supply goes before it.
class SettingsAcrossPowerCycles : public unit::UnitWorld {
 protected:
  SettingsAcrossPowerCycles() {
    start(unit::scenario(""));  // oledparam 2, offtime 0
    run_to(5);
  }
  // Menu, "ustawienia", "3ci par. oled" one step up, back to the main screen.
  void edit_oled_line() {
    press();
    run_for(0.6);
    for (int i = 0; i < 4; ++i) {
      turn(1);
      run_for(0.3);
    }
    press();
    run_for(1.0);
    ASSERT_EQ(menu, 1);
    for (int i = 0; i < 3; ++i) {
      turn(1);
      run_for(0.3);
    }
    press();
    run_for(0.5);
    turn(1);
    run_for(0.3);
    press();
    run_for(0.5);
    for (int i = 0; i < 3; ++i) {
      turn(-1);
      run_for(0.3);
    }
    press();
    run_for(1.0);
    ASSERT_EQ(menu, 0);
    ASSERT_EQ(oledparam, 3);
  }
};

TEST_F(SettingsAcrossPowerCycles, AnEditSurvivesTheOrderlyPowerDown) {
  edit_oled_line();
  world().set_ignition(false);
  ASSERT_TRUE(run_until_true([&] { return !powered(); }, 10, 0.05));
  world().set_ignition(true);
  start_again();
  EXPECT_EQ(oledparam, 3);
}

TEST_F(SettingsAcrossPowerCycles, ASupplyCutBeforeThePowerDownLosesIt) {
  edit_oled_line();
  world().board.set_supply(false);
  run_for(0.5);
  ASSERT_FALSE(powered());
  world().board.set_supply(true);
  start_again();
  EXPECT_EQ(oledparam, 2);
}

}  // namespace
