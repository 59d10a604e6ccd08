#include "diagnostic_screen.h"

#include <stdio.h>

#include "ignition.h"
#include "menu_controls.h"
#include "number_format.h"
#include "stm32f4xx_hal.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

namespace {

void line(uint16_t y) { Displ_WString(0, y, buf, Font12, 1, WHITE, BLACK); }

void integer_line(uint16_t y, const char* format, int value) {
  snprintf(buf, 40, format, value);
  line(y);
}

void number_line(uint16_t y, const char* format, double value) {
  format_number(buf, 40, format, value);
  line(y);
}

}  // namespace

void diagnostic_screen(void) {
  integer_line(0, "pblvlraw: %d   ", pblvlraw);
  integer_line(10, "lpglvlraw: %d   ", lpglvlraw);
  integer_line(20, "voltageraw: %d   ", voltageraw);
  integer_line(30, "isonlpg: %d   ", IsOnLpg);
  number_line(40, "intconsph: %.2f L/h   ", (double)instconsph);
  number_line(50, "distpb: %.3f   ", distpb);
  number_line(60, "distlpg: %.3f   ", distlpg);
  number_line(70, "pbcons: %.3f   ", pbcons);
  number_line(80, "lpgcons: %.3f   ", lpgcons);
  number_line(90, "ccthr: %.3f   ", (double)ccthr);
  integer_line(100, "actualsteps: %d   ", actualsteps);
  integer_line(110, "targetsteps: %d   ", targetsteps);
  number_line(120, "ccderivative: %.3f   ", (double)cc_derivative);
  number_line(130, "ccintegral: %.3f   ", (double)cc_integral);
  number_line(140, "SPD_CAL: %.3f   ", (double)SPD_CAL);
  integer_line(150, "systick: %d   ", (int)HAL_GetTick());
  number_line(160, "RPM/SPEED: %.3f   ", (double)((float)rpm / speed));
  if (button_pressed()) {
    Displ_CLS(BLACK);
  }
}

void run_diagnostic_screen(void) {
  if (!wait_for_release(0)) {
    leave_for_power_down();
    return;
  }
  while (!button_pressed()) {
    if (ignition_off()) {
      leave_for_power_down();
      return;
    }
    diagnostic_screen();
  }
  Displ_CLS(BLACK);
  if (!wait_for_release(0)) {
    leave_for_power_down();
    return;
  }
  menu = 0;
}
