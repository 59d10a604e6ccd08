#include "menu_edit.h"

#include <stdio.h>

#include "cmsis_os.h"
#include "ignition.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

void draw_buf(uint16_t y, uint16_t color, uint16_t background) {
  Displ_WString(0, y, buf, Font24, 1, color, background);
}

void draw_list_line(uint16_t y, const char* text, bool highlighted) {
  snprintf(buf, 50, "%s", text);
  if (highlighted) {
    draw_buf(y, BLACK, WHITE);
  } else {
    draw_buf(y, WHITE, BLACK);
  }
}

bool wait_for_closing_release(void) {
  osDelay(100);
  return wait_for_release(100);
}

bool edit_in_place(uint16_t y, void (*format)(void), void (*step)(int dir)) {
  osDelay(200);
  step(0);
  while (!button_pressed()) {
    if (ignition_off()) {
      return false;
    }
    format();
    draw_buf(y, GREEN, BLACK);
    if (enc == 1) {
      step(+1);
      enc = 0;
    }
    if (enc == 2) {
      step(-1);
      enc = 0;
    }
    step(0);
  }
  // A step taken in the last pass has not been drawn yet.
  format();
  draw_buf(y, GREEN, BLACK);
  return wait_for_closing_release();
}
