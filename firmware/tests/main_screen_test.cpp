// The main screen as the panel shows it: every field at its place, in its
// font and colours, cut to its buffer; the bars; the channel chosen with the
// encoder. Then the splash and the main screen of the whole unit.
#include <cmath>
#include <cstdint>
#include <string>

#include "bench.h"
#include "main_screen.h"
#include "screen.h"
#include "test_img.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

namespace {

using screen::shows_fill;
using screen::shows_text;

constexpr std::uint16_t kOrange = 0xFB20;

class MainScreen : public screen::DisplayRig {
 protected:
  MainScreen() {
    start_display();
    // A car with LPG, on petrol, channel 1.
    active_ch = 1;
    lpgtype = 1;
    IsOnLpg = 0;
    lambda_enable = 1;
    ccenable = 0;
    injtime = 3.456f;
    rpm = 850;
    speed = 52.4f;
    ch[0] = {12.25, 123.456, 8.25, 1.5};  // km LPG, km petrol, l petrol, l LPG
    ch[1] = {1.0, 2.0, 0.5, 0.25};
    avgpbcons = 7.25f;
    avglpgcons = 9.5f;
    pbrange = 456.7f;
    lpgrange = 321.4f;
    temp = 21.5f;
    voltage = 12.45f;
    aux_voltage = 0.5f;
    pblvl = 0.5f;
    lpglvl = 0.5f;
  }
  void draw() { run([] { draw_mainscreen(); }); }
  void fill(int x, int y, int w, int h, std::uint16_t color) {
    run([=] { Displ_FillArea(static_cast<uint16_t>(x), static_cast<uint16_t>(y), static_cast<uint16_t>(w),
                             static_cast<uint16_t>(h), color); });
  }
  void expect_labels(std::uint16_t color) {
    EXPECT_TRUE(shows_text(panel(), 10, 36, "Predkosc:", Font24, color));
    EXPECT_TRUE(shows_text(panel(), 10, 81, "Dystans:", Font24, color));
    EXPECT_TRUE(shows_text(panel(), 10, 126, "Sr spal:", Font24, color));
    EXPECT_TRUE(shows_text(panel(), 10, 171, "Zasieg:", Font24, color));
  }
};

// ---------------------------------------------------------------- fields

TEST_F(MainScreen, OnPetrolTheLargeFiguresArePetrolAndTheLinesBelowLpg) {
  draw();
  EXPECT_TRUE(shows_text(panel(), 0, 0, "1/3", Font24, GREEN));
  EXPECT_TRUE(shows_text(panel(), 80, 0, "PB:3.46ms  ", Font20, WHITE));
  EXPECT_TRUE(shows_text(panel(), 260, 0, "RPM:850 ", Font20, WHITE));
  expect_labels(kOrange);
  EXPECT_TRUE(shows_text(panel(), 180, 20, "52km/h ", Font40, WHITE));
  EXPECT_TRUE(shows_text(panel(), 180, 65, "123.46km ", Font40, WHITE));
  EXPECT_TRUE(shows_text(panel(), 180, 110, "7.25", Font40, WHITE));
  EXPECT_TRUE(shows_text(panel(), 305, 133, "L/100km   ", Font16, WHITE));
  EXPECT_TRUE(shows_text(panel(), 180, 155, "457km ", Font40, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 260, "Dystans na gazie   : 12.250km      ", Font16, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 280, "Spalanie gazu      : 9.500 L/100km     ", Font16, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 210, "Temp zewn:  21.5*C", Font20, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 235, "zasilanie:  12.45V", Font20, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 300, "Zuzyty Gaz:1.50L Benzyna:8.25L      ", Font16, WHITE));
}

TEST_F(MainScreen, OnLpgTheLargeFiguresAreLpgAndTheLinesBelowPetrol) {
  IsOnLpg = 1;
  injtime = 4.2f;
  draw();
  EXPECT_TRUE(shows_text(panel(), 80, 0, "LPG:4.20ms ", Font20, WHITE));
  EXPECT_TRUE(shows_text(panel(), 180, 65, "12.25km  ", Font40, WHITE));
  EXPECT_TRUE(shows_text(panel(), 180, 110, "9.50", Font40, WHITE));
  EXPECT_TRUE(shows_text(panel(), 180, 155, "321km ", Font40, WHITE));
  // The petrol distance line is cut at 34 characters.
  EXPECT_TRUE(shows_text(panel(), 0, 260, "Dystans na benzynie: 123.456km    ", Font16, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 280, "Spalanie benzyny   : 7.250 L/100km     ", Font16, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 300, "Zuzyty Gaz:1.50L Benzyna:8.25L      ", Font16, WHITE));
}

TEST_F(MainScreen, WithCruiseControlOnTheSpeedRowShowsTheTargetInGreen) {
  ccenable = 1;
  targetspeed = 90.0f;
  draw();
  EXPECT_TRUE(shows_text(panel(), 180, 20, "90km/h ", Font40, GREEN));
  ccenable = 0;
  speed = 7.0f;
  draw();
  EXPECT_TRUE(shows_text(panel(), 180, 20, "7km/h  ", Font40, WHITE));
}

TEST_F(MainScreen, TextsAreCutToTheirBuffers) {
  fill(0, 0, 480, 320, MAGENTA);  // what was there before
  rpm = 12345;
  speed = 123.4f;
  temp = -12.5f;
  pbrange = 1234567.0f;
  draw();
  EXPECT_TRUE(shows_text(panel(), 260, 0, "RPM:1234", Font20, WHITE));
  EXPECT_TRUE(shows_fill(panel(), 260 + 8 * 14, 0, 14, 20, MAGENTA));
  EXPECT_TRUE(shows_text(panel(), 180, 20, "123km/h", Font40, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 210, "Temp zewn:  -12.5*", Font20, WHITE));
  EXPECT_TRUE(shows_fill(panel(), 18 * 14, 210, 14, 20, MAGENTA));
  EXPECT_TRUE(shows_text(panel(), 180, 155, "123456", Font40, WHITE));
}

TEST_F(MainScreen, WithoutLpgOneTotalLineReplacesTheLpgLinesAndBar) {
  lpgtype = 3;
  fill(0, 0, 480, 320, MAGENTA);
  draw();
  EXPECT_TRUE(shows_text(panel(), 0, 245, "zasilanie:  12.45V", Font20, WHITE));
  EXPECT_TRUE(shows_text(panel(), 0, 280, "Zuzyte paliwo:8.25L ", Font20, WHITE));
  EXPECT_TRUE(shows_fill(panel(), 0, 265, 430, 15, MAGENTA));  // no line at 260
  EXPECT_TRUE(shows_fill(panel(), 0, 300, 430, 16, MAGENTA));  // none at 300
  EXPECT_TRUE(shows_fill(panel(), 464, 0, 16, 320, MAGENTA));  // no LPG bar
  EXPECT_TRUE(shows_fill(panel(), 440, 160, 20, 140, GREEN));
}

// The range divides by the average: infinite at an average of 0, and 0/0
// (a not-a-number with its sign bit set, on this host) with the tank empty too.
TEST_F(MainScreen, ARangeThatIsNotAFiniteNumber) {
  pbrange = INFINITY;
  draw();
  EXPECT_TRUE(shows_text(panel(), 180, 155, "infkm ", Font40, WHITE));
  pbrange = -std::nanf("");
  draw();
  EXPECT_TRUE(shows_text(panel(), 180, 155, "nankm ", Font40, WHITE));
}

// A figure below 1 is one cell shorter: the unit moves left onto the fifth
// cell, which is blanked, and is drawn whole.
TEST_F(MainScreen, TheUnitFollowsTheAverage) {
  avgpbcons = 12.34f;
  draw();
  EXPECT_TRUE(shows_text(panel(), 180, 110, "12.34", Font40, WHITE));
  EXPECT_TRUE(shows_text(panel(), 305, 133, "L/100km   ", Font16, WHITE));
  IsOnLpg = 1;
  avglpgcons = 0.52f;
  draw();
  EXPECT_TRUE(shows_text(panel(), 180, 110, "0.52", Font40, WHITE));
  EXPECT_TRUE(shows_fill(panel(), 280, 110, 26, 23, BLACK));  // the old '4' is gone
  EXPECT_TRUE(shows_text(panel(), 280, 133, "L/100km   ", Font16, WHITE));
  avglpgcons = 1.0f;
  draw();
  EXPECT_TRUE(shows_text(panel(), 180, 110, "1.00", Font40, WHITE));
  EXPECT_TRUE(shows_text(panel(), 305, 133, "L/100km   ", Font16, WHITE));
}

// From 12.33 to 8.62 the figure loses a digit while the unit stays: the old
// fifth digit must not stay behind to read 8.623.
TEST_F(MainScreen, AShorterAverageLeavesNoOldDigitBehind) {
  avgpbcons = 12.33f;
  draw();
  EXPECT_TRUE(shows_text(panel(), 180, 110, "12.33", Font40, WHITE));
  avgpbcons = 8.62f;
  draw();
  EXPECT_TRUE(shows_text(panel(), 180, 110, "8.62 ", Font40, WHITE));
  EXPECT_TRUE(shows_text(panel(), 305, 133, "L/100km   ", Font16, WHITE));
}

// ---------------------------------------------------------------- channel choice

TEST_F(MainScreen, TheEncoderStepsThroughTheChannelsAndTheLabelsTakeTheirColour) {
  active_ch = 3;
  enc = 1;
  draw();
  EXPECT_EQ(active_ch, 1);
  EXPECT_EQ(enc, 0);
  EXPECT_TRUE(shows_text(panel(), 0, 0, "1/3", Font24, GREEN));
  expect_labels(kOrange);
  enc = 2;
  draw();
  EXPECT_EQ(active_ch, 3);
  expect_labels(BLUE);
  enc = 2;
  draw();
  EXPECT_EQ(active_ch, 2);
  expect_labels(GREEN);
  EXPECT_TRUE(shows_text(panel(), 0, 0, "2/3", Font24, GREEN));
  EXPECT_TRUE(shows_text(panel(), 180, 65, "2.00km   ", Font40, WHITE));  // channel 2's petrol km
  enc = 0;
  draw();
  EXPECT_EQ(active_ch, 2);
  enc = 7;  // not a step: left for whoever it is
  draw();
  EXPECT_EQ(active_ch, 2);
  EXPECT_EQ(enc, 7);
  active_ch = 0;  // from a record out of range
  enc = 0;
  draw();
  EXPECT_EQ(active_ch, 3);
}

// ---------------------------------------------------------------- bars

TEST_F(MainScreen, LambdaBarWithItsMarker) {
  draw();
  const std::uint16_t blocks[6] = {0x001F, 0x3019, 0x6013, 0x980C, 0xC806, 0xF800};
  for (int i = 0; i < 6; ++i) {
    if (i != 3) {
      EXPECT_TRUE(shows_fill(panel(), 300 + 20 * i, 220, 20, 25, blocks[i])) << i;
    }
  }
  EXPECT_TRUE(shows_fill(panel(), 360, 220, 5, 25, WHITE));  // 0.5 V
  EXPECT_TRUE(shows_fill(panel(), 365, 220, 15, 25, 0x980C));
  EXPECT_TRUE(shows_fill(panel(), 299, 219, 122, 1, WHITE));
  EXPECT_TRUE(shows_fill(panel(), 299, 245, 122, 1, WHITE));
  aux_voltage = 1.2f;  // stops at the right end
  draw();
  EXPECT_TRUE(shows_fill(panel(), 360, 220, 20, 25, 0x980C));  // the old marker is gone
  EXPECT_TRUE(shows_fill(panel(), 416, 220, 5, 25, WHITE));
  EXPECT_TRUE(shows_fill(panel(), 400, 220, 16, 25, 0xF800));
}

TEST_F(MainScreen, WithoutTheLambdaBarItsPlaceIsLeftAlone) {
  lambda_enable = 0;
  fill(290, 210, 140, 40, MAGENTA);
  draw();
  EXPECT_TRUE(shows_fill(panel(), 299, 219, 122, 27, MAGENTA));
}

TEST_F(MainScreen, TankBarsOnPetrol) {
  lpglvl = 0.25f;
  draw();
  // Petrol half full, 20 wide: green from row 160 down, under the outline's
  // bottom line at row 307; black above.
  EXPECT_TRUE(shows_fill(panel(), 440, 160, 20, 147, GREEN));
  EXPECT_TRUE(shows_fill(panel(), 440, 308, 20, 2, GREEN));
  EXPECT_TRUE(shows_fill(panel(), 440, 10, 20, 150, BLACK));
  EXPECT_TRUE(shows_fill(panel(), 439, 8, 22, 1, WHITE));
  EXPECT_TRUE(shows_fill(panel(), 460, 8, 1, 300, WHITE));
  EXPECT_TRUE(shows_fill(panel(), 461, 8, 3, 312, BLACK));
  // LPG a quarter full, 10 wide.
  EXPECT_TRUE(shows_fill(panel(), 465, 235, 10, 73, YELLOW));
  EXPECT_TRUE(shows_fill(panel(), 465, 9, 10, 225, BLACK));
  EXPECT_TRUE(shows_fill(panel(), 464, 8, 1, 301, WHITE));
  EXPECT_TRUE(shows_fill(panel(), 475, 8, 1, 301, WHITE));
}

TEST_F(MainScreen, OnLpgTheLpgBarIsTheWideOne) {
  draw();  // the petrol layout first: switching must leave no trace of it
  IsOnLpg = 1;
  pblvl = 0.25f;
  draw();
  EXPECT_TRUE(shows_fill(panel(), 455, 160, 20, 148, YELLOW));
  EXPECT_TRUE(shows_fill(panel(), 455, 9, 20, 150, BLACK));
  EXPECT_TRUE(shows_fill(panel(), 454, 8, 1, 301, WHITE));
  EXPECT_TRUE(shows_fill(panel(), 440, 235, 10, 72, GREEN));
  EXPECT_TRUE(shows_fill(panel(), 450, 8, 1, 300, WHITE));
  EXPECT_TRUE(shows_fill(panel(), 451, 8, 3, 312, BLACK));
}

TEST_F(MainScreen, LevelsOutsideZeroToOne) {
  pblvl = 1.2f;  // the full part starts above the bar, cut at the screen
  lpglvl = std::nanf("");
  fill(465, 0, 10, 320, MAGENTA);
  draw();
  EXPECT_TRUE(shows_fill(panel(), 440, 0, 20, 8, GREEN));
  EXPECT_TRUE(shows_fill(panel(), 440, 308, 20, 12, GREEN));
  EXPECT_TRUE(shows_fill(panel(), 465, 9, 10, 299, MAGENTA));  // nothing to fill either way
  pblvl = -0.5f;
  draw();
  EXPECT_TRUE(shows_fill(panel(), 440, 10, 20, 297, BLACK));
  EXPECT_TRUE(shows_fill(panel(), 440, 308, 20, 12, BLACK));
}

// ---------------------------------------------------------------- the whole unit

class UnitScreens : public bench::Bench {
 protected:
  sim::Ili9488 panel{machine};
};

TEST_F(UnitScreens, SplashThenTheRecordNoticeThenTheMainScreen) {
  ignition.set(true);
  run_to(bench::s(2.0));
  ASSERT_TRUE(panel.lit());
  EXPECT_TRUE(shows_text(panel, 0, 0, "Komputer pokladowy", Font32, WHITE));
  EXPECT_TRUE(shows_text(panel, 140, 288, "by A.Tobrzyk", Font32, WHITE));
  // The picture, its words stored high byte first.
  for (int y = 0; y < 153; ++y) {
    for (int x = 0; x < 480; ++x) {
      const std::uint16_t word = test_img[y][x];
      const auto rgb565 = static_cast<std::uint16_t>((word << 8) | (word >> 8));
      ASSERT_EQ(panel.pixel(x, 68 + y), screen::stored_image(rgb565)) << x << ", " << y;
    }
  }
  // No record chip: the repairs are reported for 2 s after the splash.
  run_to(bench::s(4.8));
  ASSERT_NE(eeprom_errors, 0);
  const std::string notice = "znaleziono " + std::to_string(eeprom_errors) + " blad w pamieci";
  EXPECT_TRUE(shows_text(panel, 0, 120, notice, Font24, WHITE));
  EXPECT_EQ(screen::count_color(panel, 0, 0, 480, 120, BLACK), 480 * 120);
  wait_started(bench::ms(10));
  run_for(bench::ms(150));
  EXPECT_TRUE(shows_text(panel, 0, 0, "1/3", Font24, GREEN));
  EXPECT_TRUE(shows_text(panel, 10, 36, "Predkosc:", Font24, kOrange));
  EXPECT_TRUE(shows_text(panel, 180, 20, "0km/h  ", Font40, WHITE));
  EXPECT_TRUE(shows_fill(panel, 0, 150, 170, 20, BLACK));  // the splash is gone
  EXPECT_EQ(panel.counters().unknown_commands, 0u);
  EXPECT_EQ(panel.counters().early_commands, 0u);
  EXPECT_EQ(panel.counters().line_changes, 0u);
}

TEST_F(UnitScreens, TurningTheEncoderChangesTheChannelOnTheScreen) {
  sim::RotaryEncoder encoder(machine);
  boot();
  encoder.turn(1);
  run_for(bench::ms(200));
  EXPECT_EQ(active_ch, 2);
  EXPECT_TRUE(shows_text(panel, 0, 0, "2/3", Font24, GREEN));
  EXPECT_TRUE(shows_text(panel, 10, 81, "Dystans:", Font24, GREEN));
  encoder.turn(-2);
  run_for(bench::ms(300));
  EXPECT_EQ(active_ch, 3);
  EXPECT_TRUE(shows_text(panel, 10, 81, "Dystans:", Font24, BLUE));
}

TEST_F(UnitScreens, IgnitionOffClearsTheMainScreenAndItReturnsWithTheIgnition) {
  boot();
  ASSERT_TRUE(shows_text(panel, 0, 0, "1/3", Font24, GREEN));
  ignition.set(false);
  run_for(bench::ms(200));
  EXPECT_EQ(screen::count_color(panel, 0, 0, 45, 24, GREEN), 0);
  EXPECT_EQ(screen::count_color(panel, 439, 8, 40, 1, WHITE), 0);  // no tank bar outlines
  run_for(bench::s(10));
  ignition.set(true);
  run_for(bench::ms(300));
  EXPECT_TRUE(shows_text(panel, 0, 0, "1/3", Font24, GREEN));
  EXPECT_TRUE(shows_fill(panel, 439, 8, 22, 1, WHITE));
}

}  // namespace
