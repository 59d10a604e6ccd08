// The settings menu: seven settings under a line that leads back, each
// edited in place; the last line erases the stored record and restarts the
// unit when the button is held for 5 s.
#include "settings_menu.h"

#include <stdio.h>
#include <string.h>

#include "cmsis_os.h"
#include "ee24.h"
#include "ignition.h"
#include "menu_edit.h"
#include "oled_handover.h"
#include "stm32f4xx_hal.h"
#include "tasks.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

static const char* const kLines[settings_items + 1] = {
    "ekran glowny                 ", "autoreset przy tankowaniu    ", "czas wylaczenia              ",
    "3ci par. oled                ", "max czas wtysku              ", "odwroc enkoder               ",
    "pokaz wskazania s.Lambda     ", "Ustaw fabryczne (trzymaj 5s) ",
};

static uint16_t line_y(uint8_t line) { return (uint16_t)(25 * line); }

// A 0/1 switch: either step turns it over. Any value other than 0 counts as
// on, as the rest of the unit reads it.
static uint8_t toggled(uint8_t value) { return value == 0 ? 1 : 0; }

// ---- the items' value lines and steps

static void format_autoreset(void) {
  snprintf(buf, 50, autoreset == 0 ? "autoreset przy tankowaniu OFF" : "autoreset przy tankowaniu ON ");
}
static void step_autoreset(int dir) {
  if (dir != 0) autoreset = toggled(autoreset);
}

static void format_offtime(void) { snprintf(buf, 50, "czas wylaczenia  %.1fmin ", (double)offtime); }
static void step_offtime(int dir) {
  float next = (float)((double)offtime + 0.1 * dir);
  if (next < 0.0f) next = 0.0f;
  // The stored record keeps only a delay below 20 min: stop at the last one.
  if (!(next < 20.0f)) next = offtime;
  offtime = next;
}

static void format_oledparam(void) {
  switch (oledparam) {
    case 1:
      snprintf(buf, 50, "3ci par. oled: temp zewn     ");
      break;
    case 2:
      snprintf(buf, 50, "3ci par. oled: obc. silnika  ");
      break;
    case 3:
      snprintf(buf, 50, "3ci par. oled: napiecie aku  ");
      break;
    case 4:
      snprintf(buf, 50, "3ci par. oled: sr spalanie   ");
      break;
    default:
      break;
  }
}
static void step_oledparam(int dir) {
  oledparam = (uint8_t)(oledparam + dir);
  if (oledparam > 4) oledparam = 1;
  if (oledparam == 0) oledparam = 4;
}

static void format_maxinjtime(void) { snprintf(buf, 50, "max czas wtysku: %.1fms ", (double)maxinjtime); }
static void step_maxinjtime(int dir) {
  float next = (float)((double)maxinjtime + 0.1 * dir);
  if ((double)next < 0.1) next = 0.1f;
  // The stored record keeps only a bar length below 40 ms.
  if (!(next < 40.0f)) next = maxinjtime;
  maxinjtime = next;
}

static void format_enc_inv(void) {
  snprintf(buf, 50, enc_inv == 0 ? "odwroc enkoder           OFF " : "odwroc enkoder           ON  ");
}
static void step_enc_inv(int dir) {
  if (dir != 0) enc_inv = toggled(enc_inv);
}

static void format_lambda(void) {
  snprintf(buf, 50, lambda_enable == 0 ? "pokaz wskazania s.Lambda  OFF " : "pokaz wskazania s.Lambda   ON ");
}
static void step_lambda(int dir) {
  if (dir != 0) lambda_enable = toggled(lambda_enable);
}

struct Item {
  void (*format)(void);
  void (*step)(int dir);
};

static const Item kItems[settings_items - 1] = {
    {format_autoreset, step_autoreset}, {format_offtime, step_offtime}, {format_oledparam, step_oledparam},
    {format_maxinjtime, step_maxinjtime}, {format_enc_inv, step_enc_inv}, {format_lambda, step_lambda},
};

// ---- the factory reset

enum class Hold { Released, Held, IgnitionOff };

// Holds for 5 s from 200 ms after the press, unless released first.
static Hold hold_five_seconds(void) {
  osDelay(200);
  const int starttickfactory = (int)HAL_GetTick();
  while ((int)HAL_GetTick() < starttickfactory + 5000) {
    if (!button_pressed()) return Hold::Released;
    if (ignition_off()) return Hold::IgnitionOff;
  }
  return button_pressed() ? Hold::Held : Hold::Released;
}

// Erases the record (bytes 0..199) and restarts the unit. The OLED task is
// stopped between two of its frames first, so that the erase finds the
// shared bus idle. Returns only when the EEPROM did not take the erase:
// then the unit keeps its record and says so.
static void erase_and_restart(void) {
  static uint8_t fftable[200];
  memset(fftable, 0xFF, sizeof fftable);
  stop_oled_between_frames();
  if (ee24_write(0, fftable, 200, 500)) {
    HAL_Delay(1000);
    __NVIC_SystemReset();
  }
  vTaskResume((TaskHandle_t)oledvtaskHandle);
  snprintf(buf, 50, "blad pamieci                 ");
  draw_buf(line_y(7), BLACK, RED);
  osDelay(2000);
}

// False when the ignition went off.
static bool factory_reset(void) {
  snprintf(buf, 50, "%s", kLines[7]);
  draw_buf(line_y(7), BLACK, RED);
  switch (hold_five_seconds()) {
    case Hold::IgnitionOff:
      return false;
    case Hold::Released:
      osDelay(100);
      return true;
    case Hold::Held:
      break;
  }
  erase_and_restart();
  // The button may still be held: a new hold starts only with a new press.
  return wait_for_closing_release();
}

// ---- the list

void settings_menu(void) {
  Displ_CLS(BLACK);
  for (;;) {
    if (ignition_off()) {
      leave_for_power_down();
      sel = 0;
      return;
    }
    if (enc == 1) {
      sel++;
      enc = 0;
    }
    if (enc == 2) {
      sel--;
      enc = 0;
    }
    for (uint8_t line = 0; line <= settings_items; line++) {
      draw_list_line(line_y(line), kLines[line], line == sel);
    }
    // The wrap comes after the drawing: in the pass that steps past an end
    // no line is highlighted.
    if (sel == settings_items + 1) sel = 0;
    if (sel == 255) sel = settings_items;
    if (!button_pressed()) continue;

    bool stays_on = true;
    if (sel == 0) {
      menu = 0;
      osDelay(200);
      Displ_CLS(BLACK);
      sel = 0;
      return;
    } else if (sel <= settings_items - 1) {
      const Item& item = kItems[sel - 1];
      stays_on = edit_in_place(line_y(sel), item.format, item.step);
    } else {
      stays_on = factory_reset();
    }
    if (!stays_on) {
      leave_for_power_down();
      sel = 0;
      return;
    }
  }
}
