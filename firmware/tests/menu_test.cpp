// The menu as a driver uses it: opened with the button on the main screen,
// stepped with the encoder, each entry chosen with a press; judged on the
// panel's picture.
#include <cstdint>
#include <cstdio>
#include <string>

#include "unit_world.h"
#include "z_displ_ILI9XXX.h"

namespace {

using screen::shows_text;

const char* const kEntries[9] = {
    "ekran glowny                 ", "Reset gazu                   ", "Reset benzyny                ",
    "pomiar przyspieszenia        ", "ustawienia                   ", "konfiguracja                 ",
    "gierka                       ", "informacje                   ", "ekran diagnostyczny           ",
};
const std::uint16_t kChannelColors[3] = {0xFB20, 0x07E0, 0x001F};

class Menu : public unit::UnitWorld {
 protected:
  Menu() { start(unit::scenario("")); }

  std::uint16_t color_of(int entry) { return entry == 1 || entry == 2 ? kChannelColors[active_ch - 1] : WHITE; }
  bool highlighted(int entry) {
    return shows_text(panel(), 0, 25 * entry, kEntries[entry], Font24, BLACK, color_of(entry));
  }
  bool plain(int entry) { return shows_text(panel(), 0, 25 * entry, kEntries[entry], Font24, color_of(entry), BLACK); }
  // The whole list, with entry `lit` highlighted (-1: none).
  ::testing::AssertionResult shows_menu(int lit) {
    for (int i = 0; i < 9; ++i) {
      const auto r = i == lit ? shows_text(panel(), 0, 25 * i, kEntries[i], Font24, BLACK, color_of(i))
                              : shows_text(panel(), 0, 25 * i, kEntries[i], Font24, color_of(i), BLACK);
      if (!r) return ::testing::AssertionFailure() << "entry " << i << ": " << r.message();
    }
    return ::testing::AssertionSuccess();
  }
  bool main_screen_shown() { return shows_text(panel(), 10, 81, "Dystans:", Font24, kChannelColors[active_ch - 1]); }
  // Runs until a whole pass shows the list with `lit` highlighted (a pass
  // takes about 70 ms).
  ::testing::AssertionResult settles_on(int lit) {
    if (run_until_true([&] { return static_cast<bool>(shows_menu(lit)); }, 0.3, 0.002)) {
      return ::testing::AssertionSuccess();
    }
    return shows_menu(lit);
  }
  void open_menu() {
    press();
    run_for(0.2);
    ASSERT_TRUE(settles_on(0));
    ASSERT_EQ(menu, 1);
  }
  // From the top of the menu to `entry`, one detent at a time (a detent
  // that comes while a pass draws overwrites the one before).
  void go_to(int entry) {
    for (int i = 0; i < entry; ++i) {
      turn(1);
      ASSERT_TRUE(settles_on(i + 1));
    }
    ASSERT_EQ(sel, entry);
  }
  bool last_row_black() { return screen::count_color(panel(), 0, 200, 480, 25, BLACK) == 480 * 25; }
};

TEST_F(Menu, APressOnTheMainScreenOpensItOnItsFirstEntryAndTheEncoderMovesTheHighlight) {
  ASSERT_TRUE(main_screen_shown());
  open_menu();
  EXPECT_EQ(screen::count_color(panel(), 0, 225, 480, 95, BLACK), 480 * 95);  // the main screen is gone
  for (int i = 1; i < 9; ++i) {
    turn(1);
    EXPECT_TRUE(settles_on(i)) << "after " << i << " steps";
  }
  turn(-1);
  EXPECT_TRUE(settles_on(7));
  EXPECT_EQ(menu, 1);
}

TEST_F(Menu, TheResetEntriesTakeTheActiveChannelsColour) {
  turn(-1);  // on the main screen: channel 3
  run_for(0.1);
  ASSERT_EQ(active_ch, 3);
  open_menu();
  EXPECT_TRUE(plain(1));
  EXPECT_TRUE(shows_text(panel(), 0, 25, kEntries[1], Font24, 0x001F));
  go_to(2);
  EXPECT_TRUE(shows_text(panel(), 0, 50, kEntries[2], Font24, BLACK, 0x001F));
  EXPECT_TRUE(shows_text(panel(), 0, 25, kEntries[1], Font24, 0x001F, BLACK));
}

// The cursor is wrapped after the list is drawn: the pass that steps past
// an end highlights nothing, and the other end lights from the next pass.
TEST_F(Menu, TheHighlightWrapsAtBothEndsOnePassLate) {
  open_menu();
  world().encoder.turn(-1);
  bool none_lit = false;
  ASSERT_TRUE(run_until_true(
      [&] {
        if (!highlighted(0) && !highlighted(8)) none_lit = none_lit || shows_menu(-1);
        return highlighted(8);
      },
      1.0, 0.0002));
  EXPECT_TRUE(none_lit) << "stepping back from the top went straight to the bottom";
  EXPECT_TRUE(settles_on(8));
  EXPECT_EQ(sel, 8);

  world().encoder.turn(1);
  none_lit = false;
  bool both_lit = false;
  ASSERT_TRUE(run_until_true(
      [&] {
        both_lit = both_lit || (highlighted(0) && highlighted(8));
        if (!highlighted(8) && !highlighted(0)) none_lit = none_lit || shows_menu(-1);
        return highlighted(0) && plain(8);
      },
      1.0, 0.0002));
  EXPECT_TRUE(none_lit);
  EXPECT_FALSE(both_lit) << "the top lit in the pass that stepped past the bottom";
  EXPECT_EQ(sel, 0);
  EXPECT_TRUE(settles_on(0));
}

TEST_F(Menu, ThePressThatOpensItStillHeldChoosesTheFirstEntry) {
  // Held past the 200 ms opening delay and the drawing of the list.
  world().button.press_for(host::from_seconds(0.45));
  ASSERT_TRUE(run_until_true([&] { return menu == 1; }, 0.2));
  ASSERT_TRUE(run_until_true([&] { return menu == 0; }, 0.5));
  run_for(0.5);
  EXPECT_TRUE(main_screen_shown());
  EXPECT_EQ(menu, 0);
  EXPECT_EQ(sel, 0);
}

TEST_F(Menu, TheFirstEntryReturnsToTheMainScreen) {
  open_menu();
  go_to(2);
  turn(-1);
  ASSERT_TRUE(settles_on(1));
  turn(-1);
  ASSERT_TRUE(settles_on(0));
  press();
  run_for(0.5);
  EXPECT_EQ(menu, 0);
  EXPECT_TRUE(main_screen_shown());
  open_menu();  // on its first entry again
}

TEST_F(Menu, GierkaClearsTheScreenAndShowsTheMenuAgain) {
  open_menu();
  go_to(6);
  world().button.press_for(host::from_seconds(0.1));
  // Cleared (the list is drawn from the top: its last row black)...
  EXPECT_TRUE(run_until_true([&] { return last_row_black(); }, 0.3, 0.0005));
  // ... and drawn again.
  EXPECT_TRUE(settles_on(6));
  EXPECT_EQ(menu, 1);
}

// Entries 4 and 5 wait for the release before their menus open; until the
// button is let go the screen stays cleared and the menu stays open.
TEST_F(Menu, TheSettingsMenusOpenOnlyOnceTheButtonIsReleased) {
  for (int entry : {4, 5}) {
    open_menu();
    go_to(entry);
    world().button.press_for(host::from_seconds(1.0));
    run_for(0.9);
    EXPECT_EQ(menu, 1) << entry;
    EXPECT_EQ(sel, entry == 4 ? 0 : 5);  // entry 4 hands its cursor over at once
    EXPECT_TRUE(all_black()) << entry;
    run_for(0.4);
    EXPECT_FALSE(all_black()) << entry << ": nothing after the release";
    // (Until the settings menus are built they leave at once.)
    run_until_true([&] { return menu == 0; }, 30, 0.05);
    run_for(0.3);
  }
}

// A press of a tenth of a second must meet a pass that reads the button.
TEST_F(Menu, APassTakesLessThanATenthOfASecond) {
  open_menu();
  const auto p0 = panel().counters().pixels;
  const double t0 = now();
  run_for(2.0);
  const double px = static_cast<double>(panel().counters().pixels - p0);
  const double per_pass = (8 * 29 + 30) * 15 * 24;
  const double rate = px / per_pass / (now() - t0);
  std::printf("menu: %.1f passes per virtual second\n", rate);
  EXPECT_GT(rate, 10.0);
}

// ---------------------------------------------------------------- resets

class MenuResets : public unit::UnitWorld {
 protected:
  // Driving on LPG at 60 km/h from 4 s on, with some petrol before.
  MenuResets() {
    start(unit::scenario(R"({"at": 2, "engine": {"rpm": 2000, "petrol_ms": 4}}, {"speed": {"kmh": 60, "over": 2}},
        {"at": 5, "fuel": "lpg"}, {"engine": {"lpg_ms": 5}})"));
    run_to(8);
  }
  void choose(int channel) {
    while (active_ch != channel) {
      turn(1);
      run_for(0.1);
    }
  }
  void reset(int entry) {
    press();
    run_for(0.4);
    for (int i = 0; i < entry; ++i) {
      turn(1);
      run_for(0.15);
    }
    ASSERT_EQ(sel, entry);
    world().button.press_for(host::from_seconds(0.1));
    ASSERT_TRUE(run_until_true([&] { return menu == 0; }, 0.3, 0.0005));
  }
  // Engine on fuel cut-off, car standing: the live totals hold still, and
  // the next passes give the channels their final values.
  void stand_still() {
    world().car.set_engine(850, 0, 0);
    world().car.ramp_speed(0, 0);
    run_for(1.5);
  }
};

TEST_F(MenuResets, ResetGazuZeroesOnlyTheGasOfTheActiveChannel) {
  choose(2);
  // The channels as offsets over the live totals, before the reset.
  const bc start1 = ch_start[0], start2 = ch_start[1], start3 = ch_start[2];
  ASSERT_GT(ch[1].distlpg, 30.0);
  reset(1);
  const double at_reset_km = distlpg, at_reset_l = lpgcons;
  const double pressed = now();
  // The cleared screen for 200 ms, then the main screen with the channel's
  // LPG figures starting from 0.
  run_to(pressed + 0.15);
  EXPECT_TRUE(all_black());
  run_to(pressed + 0.5);
  EXPECT_TRUE(shows_text(panel(), 180, 65, "0.0", Font40, WHITE)) << "the LPG distance on the main screen";
  EXPECT_TRUE(shows_text(panel(), 0, 300, "Zuzyty Gaz:0.0", Font16, WHITE));
  // Further driving, then standing: the channel's LPG is exactly what the
  // live totals grew since the reset; all else as it was.
  run_for(10);
  stand_still();
  EXPECT_GT(distlpg - at_reset_km, 0.15);
  EXPECT_EQ(ch[1].distlpg, -at_reset_km + distlpg);
  EXPECT_EQ(ch[1].lpgcons, -at_reset_l + lpgcons);
  EXPECT_EQ(ch[1].distpb, start2.distpb + distpb);
  EXPECT_EQ(ch[1].pbcons, start2.pbcons + pbcons);
  EXPECT_EQ(ch[0].distlpg, start1.distlpg + distlpg);
  EXPECT_EQ(ch[0].lpgcons, start1.lpgcons + lpgcons);
  EXPECT_EQ(ch[2].distlpg, start3.distlpg + distlpg);
  EXPECT_EQ(ch[2].distpb, start3.distpb + distpb);
  EXPECT_EQ(active_ch, 2);
}

TEST_F(MenuResets, ResetBenzynyZeroesOnlyThePetrolOfTheActiveChannel) {
  choose(3);
  const bc start1 = ch_start[0], start3 = ch_start[2];
  reset(2);
  const double at_reset_km = distpb, at_reset_l = pbcons;
  EXPECT_GT(at_reset_km, 0.01);
  stand_still();
  EXPECT_EQ(ch[2].distpb, -at_reset_km + distpb);
  EXPECT_EQ(ch[2].pbcons, -at_reset_l + pbcons);
  EXPECT_LT(ch[2].distpb, 0.001);
  EXPECT_EQ(ch[2].distlpg, start3.distlpg + distlpg);
  EXPECT_EQ(ch[2].lpgcons, start3.lpgcons + lpgcons);
  EXPECT_EQ(ch[0].distpb, start1.distpb + distpb);
  // On LPG the main screen's lower lines show the petrol figures.
  EXPECT_TRUE(shows_text(panel(), 0, 260, "Dystans na benzynie: 0.000km", Font16, WHITE));
}

}  // namespace
