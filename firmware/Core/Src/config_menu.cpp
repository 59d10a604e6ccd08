// The configuration menu: 21 items on two pages. Some act at once on a
// press (the speed calibration, the captures of the senders' ends), the
// others are edited in place; the last one runs the cruise-control test.
#include "config_menu.h"

#include <stdio.h>

#include "cmsis_os.h"
#include "ignition.h"
#include "menu_edit.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

static const char* const kPageOne[12] = {
    "ekran glowny                 ", "kal. predkosci (50km/h)      ", "kal spalania LPG             ",
    "kal spalania PB              ", "dzielnik obrotow             ", "ustaw min. poziom PB         ",
    "ustaw max. poziom PB         ", "ustaw min. poziom LPG        ", "ustaw max. poziom LPG        ",
    "poj. zbiornika PB            ", "poj. zbiornika LPG           ", "typ obslugi gazu             ",
};
static const char* const kPageTwo[10] = {
    "kalibracja napiecia          ", "min poziom PB                ", "max poziom PB                ",
    "min poziom LPG               ", "max poziom LPG               ", "tempomat P                   ",
    "tempomat I                   ", "tempomat D                   ", "zakres pracy s.krok.        ",
    "test tempomatu              ",
};
static const char kMoreBelow[] = "    v         v          v    ";
static const char kMoreAbove[] = "    ^         ^          ^   ";

static const uint8_t kLastOfPageOne = 11;
static const uint8_t kCruiseTest = 21;

// Where an item's line is: page 1 from the top, page 2 under its arrows.
static uint16_t item_y(uint8_t item) {
  return (uint16_t)(item <= kLastOfPageOne ? 25 * item : 25 * (item - kLastOfPageOne));
}

static void draw_page(uint8_t highlighted) {
  if (highlighted <= kLastOfPageOne) {
    for (uint8_t item = 0; item <= kLastOfPageOne; item++) {
      draw_list_line(item_y(item), kPageOne[item], item == highlighted);
    }
    draw_list_line(300, kMoreBelow, false);
  } else {
    draw_list_line(0, kMoreAbove, false);
    for (uint8_t item = kLastOfPageOne + 1; item <= config_items; item++) {
      draw_list_line(item_y(item), kPageTwo[item - kLastOfPageOne - 1], item == highlighted);
    }
  }
}

// ---- steps in the variable's own type, added in double precision where
// the variable is a float. Each stops at the last value the stored record
// accepts (its integrity check would otherwise replace it by a default at
// the next start).

// A calibration factor: above 0.1 and below 10.
static void step_factor(float& factor, int dir) {
  const float next = (float)((double)factor + 0.001 * dir);
  if ((double)next > 0.1 && next < 10.0f) factor = next;
}

// A cruise-control gain: 0..10.
static void step_gain(float& gain, int dir) {
  float next = (float)((double)gain + 0.01 * dir);
  if (next < 0.0f) next = 0.0f;
  if (next > 10.0f) next = 10.0f;
  gain = next;
}

static int clamped(int value, int lowest, int highest) {
  if (value < lowest) return lowest;
  if (value > highest) return highest;
  return value;
}

// A tank: 5..300 litres.
static void step_capacity(int& litres, int dir) { litres = clamped(litres + dir, 5, 300); }

// A sender end point: an ADC reading, 0..4095.
static void step_sender_end(uint16_t& counts, int dir) {
  counts = (uint16_t)clamped(counts + 10 * dir, 0, 4095);
}

// A 1..3 choice that wraps both ways.
static void step_choice(uint8_t& choice, int dir) {
  choice = (uint8_t)(choice + dir);
  if (choice > 3) choice = 1;
  if (choice == 0) choice = 3;
}

// ---- the edit items' value lines and steps

static void format_lpg_cal(void) { snprintf(buf, 50, "kal spal LPG    %.3f         ", (double)LPG_CAL); }
static void step_lpg_cal(int d) { step_factor(LPG_CAL, d); }

static void format_pb_cal(void) { snprintf(buf, 50, "kal spal PB    %.3f          ", (double)PB_CAL); }
static void step_pb_cal(int d) { step_factor(PB_CAL, d); }

static void format_injtype(void) {
  switch (injtype) {
    case 1:
      snprintf(buf, 50, "dzielnik obrotow: 4          ");
      break;
    case 2:
      snprintf(buf, 50, "dzielnik obrotow: 2          ");
      break;
    case 3:
      snprintf(buf, 50, "dzielnik obrotow: 1          ");
      break;
    default:
      break;
  }
}
static void step_injtype(int d) { step_choice(injtype, d); }

static void format_pbcap(void) { snprintf(buf, 50, "poj. zbiornika PB     %dL   ", pbcap); }
static void step_pbcap(int d) { step_capacity(pbcap, d); }

static void format_lpgcap(void) { snprintf(buf, 50, "poj. zbiornika LPG    %dL    ", lpgcap); }
static void step_lpgcap(int d) { step_capacity(lpgcap, d); }

static void format_lpgtype(void) {
  switch (lpgtype) {
    case 1:
      snprintf(buf, 50, "typ obslugi gazu: 4-generacja");
      break;
    case 2:
      snprintf(buf, 50, "typ obslugi gazu: 2-generacja");
      break;
    case 3:
      snprintf(buf, 50, "typ obslugi gazu: brak       ");
      break;
    default:
      break;
  }
}
static void step_lpgtype(int d) { step_choice(lpgtype, d); }

// The line shows the battery voltage measured with the factor, not the
// factor itself: the factor is set by watching the voltage it produces.
static void format_voltage(void) { snprintf(buf, 50, "kalibracja napiecia   %.2fV  ", (double)voltage); }
static void step_voltage_cal(int d) {
  float next = (float)((double)Voltage_CAL + 0.001 * d);
  if (next > 2.0f) next = 2.0f;  // the record keeps a factor up to 2
  Voltage_CAL = next;
}

static void format_pb_min(void) { snprintf(buf, 50, "min poziom PB %d   ", flvl.pb_min); }
static void step_pb_min(int d) { step_sender_end(flvl.pb_min, d); }
static void format_pb_max(void) { snprintf(buf, 50, "max poziom PB %d   ", flvl.pb_max); }
static void step_pb_max(int d) { step_sender_end(flvl.pb_max, d); }
static void format_lpg_min(void) { snprintf(buf, 50, "min poziom LPG %d   ", flvl.lpg_min); }
static void step_lpg_min(int d) { step_sender_end(flvl.lpg_min, d); }
static void format_lpg_max(void) { snprintf(buf, 50, "max poziom LPG %d   ", flvl.lpg_max); }
static void step_lpg_max(int d) { step_sender_end(flvl.lpg_max, d); }

static void format_p(void) { snprintf(buf, 50, "tempomat P %.2f  ", (double)cc_Pgain); }
static void step_p(int d) { step_gain(cc_Pgain, d); }
static void format_i(void) { snprintf(buf, 50, "tempomat I %.2f  ", (double)cc_Igain); }
static void step_i(int d) { step_gain(cc_Igain, d); }
static void format_d(void) { snprintf(buf, 50, "tempomat D %.2f  ", (double)cc_Dgain); }
static void step_d(int d) { step_gain(cc_Dgain, d); }

static void format_stepper_range(void) { snprintf(buf, 50, "zakres pracy s.krok. %d  ", stepper_range); }
// Up to 4000 steps, and never below 0 (which would wrap to 65535 and drive
// the throttle motor against its end stop in the cruise-control test).
static void step_stepper_range(int d) { stepper_range = (uint16_t)clamped(stepper_range + d, 0, 4000); }

struct EditItem {
  uint8_t item;
  void (*format)(void);
  void (*step)(int dir);
};

static const EditItem kEdits[] = {
    {2, format_lpg_cal, step_lpg_cal},
    {3, format_pb_cal, step_pb_cal},
    {4, format_injtype, step_injtype},
    {9, format_pbcap, step_pbcap},
    {10, format_lpgcap, step_lpgcap},
    {11, format_lpgtype, step_lpgtype},
    {12, format_voltage, step_voltage_cal},
    {13, format_pb_min, step_pb_min},
    {14, format_pb_max, step_pb_max},
    {15, format_lpg_min, step_lpg_min},
    {16, format_lpg_max, step_lpg_max},
    {17, format_p, step_p},
    {18, format_i, step_i},
    {19, format_d, step_d},
    {20, format_stepper_range, step_stepper_range},
};

static const EditItem* edit_item(uint8_t item) {
  for (const EditItem& e : kEdits) {
    if (e.item == item) return &e;
  }
  return nullptr;
}

// ---- the immediate items

// True when the calibration was taken: above 5 km/h only, which also keeps
// the division away from zero.
static bool calibrate_speed(void) {
  const float shown = speed;
  if (!(shown > 5.0f)) return false;
  SPD_CAL = (float)((double)SPD_CAL * 50.0 / (double)shown);
  return true;
}

// True when the item was a sender capture (items 5 to 8).
static bool capture_sender_end(uint8_t item) {
  switch (item) {
    case 5:
      flvl.pb_min = (uint16_t)pblvlraw;
      return true;
    case 6:
      flvl.pb_max = (uint16_t)pblvlraw;
      return true;
    case 7:
      flvl.lpg_min = (uint16_t)lpglvlraw;
      return true;
    case 8:
      flvl.lpg_max = (uint16_t)lpglvlraw;
      return true;
    default:
      return false;
  }
}

// ---- the cruise-control test

static void cruise_off(void) {
  ccenable = 0;
  targetspeed = 0.0f;
}

// The control acts as if engaged at 200 km/h until the press: with the car
// standing the stepper runs out to the whole throttle travel. False when the
// ignition went off.
static bool cruise_test(void) {
  osDelay(200);
  while (!button_pressed()) {
    if (ignition_off()) {
      cruise_off();
      return false;
    }
    snprintf(buf, 50, "%s", kPageTwo[kCruiseTest - kLastOfPageOne - 1]);
    draw_buf(item_y(kCruiseTest), BLACK, RED);
    ccenable = 1;
    targetspeed = 200.0f;
  }
  cruise_off();
  return wait_for_closing_release();
}

// ---- the list

static void leave_to_main_screen(void) {
  menu = 0;
  osDelay(200);
  Displ_CLS(BLACK);
}

void config_menu(void) {
  uint8_t sel_item = 0;  // the menu's own cursor, not the main menu's
  for (;;) {
    if (ignition_off()) {
      leave_for_power_down();
      return;
    }
    if (enc == 1) {
      if (sel_item == kLastOfPageOne || sel_item == config_items) Displ_CLS(BLACK);  // the page changes
      sel_item++;
      enc = 0;
    }
    if (enc == 2) {
      if (sel_item == kLastOfPageOne + 1 || sel_item == 0) Displ_CLS(BLACK);
      sel_item--;
      enc = 0;
    }
    draw_page(sel_item);
    // The wrap comes after the drawing.
    if (sel_item == config_items + 1) sel_item = 0;
    if (sel_item == 255) sel_item = config_items;
    if (!button_pressed()) continue;

    if (sel_item == 0) {
      leave_to_main_screen();
      return;
    }
    if (sel_item == 1) {
      // At 5 km/h or less nothing happens; while the button stays held each pass
      // tries again.
      if (calibrate_speed()) {
        leave_to_main_screen();
        return;
      }
      continue;
    }
    if (capture_sender_end(sel_item)) {
      leave_to_main_screen();
      return;
    }
    bool stays_on;
    if (sel_item == kCruiseTest) {
      stays_on = cruise_test();
    } else {
      const EditItem* e = edit_item(sel_item);
      stays_on = edit_in_place(item_y(sel_item), e->format, e->step);
    }
    if (!stays_on) {
      leave_for_power_down();
      return;
    }
  }
}
