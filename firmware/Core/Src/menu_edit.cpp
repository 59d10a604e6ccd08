#include "menu_edit.h"

#include <stdio.h>

#include "cmsis_os.h"
#include "ignition.h"
#include "main.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

bool button_pressed(void) { return HAL_GPIO_ReadPin(enc_but_GPIO_Port, enc_but_Pin) == GPIO_PIN_RESET; }

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

bool wait_for_release(void) {
  osDelay(100);
  while (button_pressed()) {
    if (ignition_off()) {
      return false;
    }
    osDelay(100);
  }
  return true;
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
  return wait_for_release();
}

void leave_for_power_down(void) {
  menu = 0;
  Displ_CLS(BLACK);
}
