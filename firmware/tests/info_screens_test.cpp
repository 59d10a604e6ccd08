// The about, diagnostic and trip-summary screens: every line at its place,
// the values against the globals, and figures that are not finite numbers
// written the same on every C library.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <regex>
#include <string>

#include "about_screen.h"
#include "diagnostic_screen.h"
#include "end_screen.h"
#include "number_format.h"
#include "screen.h"
#include "unit_world.h"
#include "z_displ_ILI9XXX.h"

extern uint32_t TM_Time;  // the millisecond tick

namespace {

using screen::shows_text;

constexpr std::uint16_t kOrange = 0xFB20;

// A not-a-number with its sign bit set: what 0.0 / 0.0 gives on x86, and
// what glibc prints as "-nan".
double negative_nan() { return -std::numeric_limits<double>::quiet_NaN(); }

std::string formatted(const char* format, double v) {
  char out[50];
  format_number(out, sizeof out, format, v);
  return out;
}

TEST(NumberFormat, FiniteValuesAsTheFormatSaysAndOthersAsInfOrNan) {
  EXPECT_EQ(formatted("%.2f ", 8.1034), "8.10 ");
  EXPECT_EQ(formatted("x%.0fkm/h ", 29.6), "x30km/h ");
  EXPECT_EQ(formatted("%.2f ", INFINITY), "inf ");
  EXPECT_EQ(formatted("%.2f ", -INFINITY), "-inf ");
  EXPECT_EQ(formatted("%.3f   ", std::numeric_limits<double>::quiet_NaN()), "nan   ");
  ASSERT_TRUE(std::signbit(negative_nan()));
  EXPECT_EQ(formatted("RPM/SPEED: %.3f   ", negative_nan()), "RPM/SPEED: nan   ");
  // A width is kept, a literal percent sign stays one, the buffer's limit holds.
  EXPECT_EQ(formatted("%8.1f|", INFINITY), "     inf|");
  EXPECT_EQ(formatted("%-6.1f|", negative_nan()), "nan   |");
  EXPECT_EQ(formatted("100%% %.1f", negative_nan()), "100% nan");
  char small[4];
  format_number(small, sizeof small, "%.2f km", -INFINITY);
  EXPECT_STREQ(small, "-in");
}

// ---------------------------------------------------------------- drawn directly

class InfoScreens : public screen::DisplayRig {
 protected:
  InfoScreens() { start_display(); }
  void draw_diagnostics() { run([] { diagnostic_screen(); }); }
  void draw_summary() { run([] { draw_endscreen(); }); }
  // Each line is 12 high at 10 apart: the next one covers its last two
  // rows, so only the first ten rows of all but the last are compared.
  ::testing::AssertionResult shows_top(int y, const std::string& text, int rows) {
    return screen::shows_text_rows(panel(), 0, y, text, Font12, rows, WHITE);
  }
  void expect_line(int y, const std::string& text) {
    EXPECT_TRUE(shows_text(panel(), 0, y, text, Font12, WHITE)) << text;
  }
};

TEST_F(InfoScreens, TheDiagnosticLinesShowTheGlobals) {
  pblvlraw = 1234;
  lpglvlraw = 88;
  voltageraw = 2790;
  IsOnLpg = 1;
  instconsph = 1.66f;
  distpb = 12.3456;
  distlpg = 0.5;
  pbcons = 1.0;
  lpgcons = 0.0625;
  ccthr = 0.25f;
  actualsteps = 1500;
  targetsteps = 1520;
  cc_derivative = -0.125f;
  cc_integral = 0.5f;
  SPD_CAL = 1.02f;
  rpm = 2400;
  speed = 80.0f;
  draw_diagnostics();
  const char* lines[17] = {"pblvlraw: 1234   ", "lpglvlraw: 88   ", "voltageraw: 2790   ", "isonlpg: 1   ",
                           "intconsph: 1.66 L/h   ", "distpb: 12.346   ", "distlpg: 0.500   ", "pbcons: 1.000   ",
                           "lpgcons: 0.062   ", "ccthr: 0.250   ", "actualsteps: 1500   ", "targetsteps: 1520   ",
                           "ccderivative: -0.125   ", "ccintegral: 0.500   ", "SPD_CAL: 1.020   ", nullptr,
                           "RPM/SPEED: 30.000   "};
  for (int i = 0; i < 17; ++i) {
    if (lines[i] == nullptr) continue;
    EXPECT_TRUE(shows_top(10 * i, lines[i], i == 16 ? 12 : 10)) << lines[i];
  }
  // The tick when the line was formatted: within the drawing's own time.
  const std::uint32_t tick = TM_Time;
  bool found = false;
  for (std::uint32_t t = tick; t + 50 > tick && !found; --t) {
    found = shows_top(150, "systick: " + std::to_string(t) + "   ", 10);
  }
  EXPECT_TRUE(found) << "no systick line near " << tick;
}

TEST_F(InfoScreens, StandingTheRatioAndAnEmptyConsumptionAreInfOrNan) {
  rpm = 850;
  speed = 0.0f;
  instconsph = static_cast<float>(negative_nan());
  draw_diagnostics();
  expect_line(160, "RPM/SPEED: inf   ");
  EXPECT_TRUE(shows_top(40, "intconsph: nan L/h   ", 10));
  rpm = 0;
  draw_diagnostics();
  expect_line(160, "RPM/SPEED: nan   ");  // 0/0, whatever its sign bit
}

TEST_F(InfoScreens, TheTripSummaryOfADrive) {
  distpb = 12.34;
  pbcons = 1.0;
  distlpg = 17.66;
  lpgcons = 2.0;
  TM_Time = 3600000;  // an hour since start: 30 km in it
  draw_summary();
  const char* labels[7] = {"dystans pb:",  "dystans lpg:",  "zuzycie pb:",  "zuzycie lpg:",
                           "spalanie pb:", "spalanie lpg:", "sr. predkosc:"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_TRUE(shows_text(panel(), 10, 23 + 40 * i, labels[i], Font24, kOrange)) << labels[i];
  }
  EXPECT_TRUE(shows_text(panel(), 260, 15, "12.3km ", Font32, WHITE));
  EXPECT_TRUE(shows_text(panel(), 260, 55, "17.7km ", Font32, WHITE));
  EXPECT_TRUE(shows_text(panel(), 260, 95, "1.00L ", Font32, WHITE));
  EXPECT_TRUE(shows_text(panel(), 260, 135, "2.00L ", Font32, WHITE));
  EXPECT_TRUE(shows_text(panel(), 260, 175, "8.10 ", Font32, WHITE));
  EXPECT_TRUE(shows_text(panel(), 360, 195, "L/100km ", Font12, WHITE));
  EXPECT_TRUE(shows_text(panel(), 260, 215, "11.33", Font32, WHITE));
  EXPECT_TRUE(shows_text(panel(), 360, 235, "L/100km ", Font12, WHITE));
  EXPECT_TRUE(shows_text(panel(), 260, 255, "30km/h ", Font32, WHITE));
}

TEST_F(InfoScreens, ATripSummaryWithoutDistanceShowsInfAndNan) {
  distpb = 0.0;
  pbcons = 0.25;  // fuel used standing: infinite consumption
  distlpg = 0.0;
  lpgcons = 0.0;  // nothing at all: 0/0
  draw_summary();
  EXPECT_TRUE(shows_text(panel(), 260, 175, "inf ", Font32, WHITE));
  EXPECT_TRUE(shows_text(panel(), 260, 215, "nan", Font32, WHITE));
  EXPECT_TRUE(shows_text(panel(), 260, 255, "0km/h ", Font32, WHITE));
}

// ---------------------------------------------------------------- through the world

class UnitInfoScreens : public unit::UnitWorld {
 protected:
  UnitInfoScreens() { start(unit::scenario("", 1.0)); }
  void open_entry(int entry) {
    press();
    run_for(0.4);
    for (int i = 0; i < entry; ++i) {
      turn(1);
      run_for(0.15);
    }
    ASSERT_EQ(sel, entry);
    press();
  }
};

TEST_F(UnitInfoScreens, TheAboutScreenUntilAPressThenTheMenuAgain) {
  open_entry(7);
  run_for(0.6);
  EXPECT_TRUE(shows_text(panel(), 0, 0, "Komputer Pokladowy", Font40, RED));
  EXPECT_TRUE(shows_text(panel(), 0, 50, "Korvan Bris", Font40, RED));
  EXPECT_TRUE(shows_text(panel(), 0, 100, "Autor:", Font24, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 125, "Arkan Tobrzyk", Font24, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 200, web_address, Font16, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 290, std::string("data kompilacji:") + build_date, Font24, WHITE));
  EXPECT_LT(std::strlen(web_address), 50u);
  EXPECT_NE(std::string(web_address).find(".example.org/"), std::string::npos);
  // "Dec  8 2026": the month, the day right-aligned in two, the year.
  EXPECT_TRUE(std::regex_match(build_date, std::regex("(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                                      "[ 123][0-9] [0-9]{4}")))
      << build_date;
  press();
  run_for(0.5);
  EXPECT_EQ(menu, 1);
  EXPECT_EQ(sel, 7);
  EXPECT_TRUE(shows_text(panel(), 0, 175, "informacje                   ", Font24, BLACK, WHITE));
}

TEST_F(UnitInfoScreens, TheDiagnosticScreenRunsUntilAPressThenTheMainScreen) {
  open_entry(8);
  run_for(0.5);
  EXPECT_TRUE(screen::shows_text_rows(panel(), 0, 140, "SPD_CAL: 1.000   ", Font12, 10, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 160, "RPM/SPEED: inf   ", Font12, WHITE));  // idling, standing
  // Frames as fast as they draw: each formats its first line once.
  int frames = 0;
  bool in_first = false;
  const double t0 = now();
  while (now() < t0 + 2.0) {
    run_for(0.0005);
    const bool first = std::strncmp(buf, "pblvlraw:", 9) == 0;
    frames += first && !in_first;
    in_first = first;
  }
  std::printf("diagnostic screen: %.1f frames per virtual second\n", frames / 2.0);
  EXPECT_GT(frames, 20);  // the button is read at least every 50 ms
  // A press clears it (the frame's own clear, then the menu's), and after
  // the release the main screen follows.
  world().button.press_for(host::from_seconds(0.3));
  EXPECT_TRUE(run_until_true([&] { return screen::count_color(panel(), 0, 0, 200, 172, BLACK) == 200 * 172; },
                             0.3, 0.001));
  EXPECT_EQ(menu, 1);  // waiting for the release
  run_for(0.6);
  EXPECT_EQ(menu, 0);
  EXPECT_TRUE(shows_text(panel(), 10, 81, "Dystans:", Font24, kOrange));
}

TEST_F(UnitInfoScreens, TheTripSummaryStaysThroughThePowerDownWait) {
  world().set_ignition(false);
  run_for(1.0);
  const double off = now() - 1.0;
  char text[50];
  std::snprintf(text, sizeof text, "%.2fL ", pbcons);
  EXPECT_TRUE(shows_text(panel(), 10, 23, "dystans pb:", Font24, kOrange));
  EXPECT_TRUE(shows_text(panel(), 260, 95, text, Font32, WHITE));
  EXPECT_TRUE(shows_text(panel(), 260, 15, "0.0km ", Font32, WHITE));
  EXPECT_TRUE(shows_text(panel(), 260, 175, "inf ", Font32, WHITE));  // petrol burnt idling, no km
  EXPECT_TRUE(shows_text(panel(), 260, 215, "nan", Font32, WHITE));   // no LPG, no km
  EXPECT_EQ(menu, 0);
  run_to(off + 60.0);
  ASSERT_TRUE(powered());
  EXPECT_TRUE(shows_text(panel(), 10, 263, "sr. predkosc:", Font24, kOrange));
  EXPECT_TRUE(shows_text(panel(), 260, 95, text, Font32, WHITE));
}

}  // namespace
