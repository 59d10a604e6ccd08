// The main menu: back to the main screen, the per-fuel resets of the active
// trip channel, the acceleration timer, the settings and configuration
// menus, the about and diagnostic screens.
#include "menu.h"

#include "about_screen.h"
#include "accel_timer.h"
#include "cmsis_os.h"
#include "config_menu.h"
#include "diagnostic_screen.h"
#include "menu_controls.h"
#include "settings_menu.h"
#include "trip_computer.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

namespace {

constexpr uint8_t kEntries = 9;

// Padded to wipe the highlight's background to a fixed width.
const char* const kEntryTexts[kEntries] = {
    "ekran glowny                 ",   //
    "Reset gazu                   ",   //
    "Reset benzyny                ",   //
    "pomiar przyspieszenia        ",   //
    "ustawienia                   ",   //
    "konfiguracja                 ",   //
    "gierka                       ",   //
    "informacje                   ",   //
    "ekran diagnostyczny           ",  //
};

enum Entry : uint8_t {
  kMainScreen = 0,
  kResetLpg = 1,
  kResetPetrol = 2,
  kAccelTimer = 3,
  kSettings = 4,
  kConfiguration = 5,
  kGame = 6,
  kAbout = 7,
  kDiagnostics = 8,
};

void step_cursor(void) {
  if (enc == 1) {
    sel = (uint8_t)(sel + 1);
    enc = 0;
  }
  if (enc == 2) {
    sel = (uint8_t)(sel - 1);  // 0 steps to 255: wrapped after the drawing
    enc = 0;
  }
}

// The reset entries are drawn in the active channel's colour.
void draw_entries(void) {
  const uint16_t channel = ch_colors[active_ch - 1];
  for (uint8_t i = 0; i < kEntries; i++) {
    const uint16_t color = (i == kResetLpg || i == kResetPetrol) ? channel : WHITE;
    const uint16_t y = (uint16_t)(25 * i);
    if (i == sel) {
      Displ_WString(0, y, kEntryTexts[i], Font24, 1, BLACK, color);
    } else {
      Displ_WString(0, y, kEntryTexts[i], Font24, 1, color, BLACK);
    }
  }
}

// After the drawing: the pass that steps past an end highlights nothing.
void wrap_cursor(void) {
  if (sel == kEntries) {
    sel = 0;
  }
  if (sel == 255) {
    sel = kEntries - 1;
  }
}

void back_to_main_screen(void (*reset)(uint8_t channel)) {
  menu = 0;
  if (reset != nullptr) {
    reset(active_ch);
  }
  osDelay(200);
  Displ_CLS(BLACK);
}

void open_settings(void) {
  sel = 0;  // the settings menu's own cursor
  if (!wait_for_release(0)) {
    leave_for_power_down();
    return;
  }
  osDelay(100);
  settings_menu();
  menu = 0;
}

void open_configuration(void) {
  if (!wait_for_release(100)) {
    leave_for_power_down();
    return;
  }
  config_menu();
  menu = 0;
}

void act_on_entry(void) {
  Displ_CLS(BLACK);
  switch (sel) {
    case kMainScreen: back_to_main_screen(nullptr); break;
    case kResetLpg: back_to_main_screen(resetlpg); break;
    case kResetPetrol: back_to_main_screen(resetpb); break;
    case kAccelTimer: accel_timer(); break;
    case kSettings: open_settings(); break;
    case kConfiguration: open_configuration(); break;
    case kGame: break;  // the menu is drawn again in the next pass
    case kAbout: about_screen(); break;
    case kDiagnostics: run_diagnostic_screen(); break;
    default: break;
  }
}

}  // namespace

void draw_menu(void) {
  step_cursor();
  draw_entries();
  wrap_cursor();
  if (!button_pressed()) {
    return;
  }
  act_on_entry();
}
