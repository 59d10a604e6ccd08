#include "about_screen.h"

#include <stdio.h>

#include "cmsis_os.h"
#include "ignition.h"
#include "menu_controls.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

const char build_date[] = __DATE__;
const char web_address[] = "docs.example.org/komputer-pokladowy";

static void draw_about(void) {
  Displ_WString(0, 0, "Komputer Pokladowy", Font40, 1, RED, BLACK);
  Displ_WString(0, 50, "Korvan Bris", Font40, 1, RED, BLACK);
  Displ_WString(0, 100, "Autor:", Font24, 1, WHITE, BLACK);
  Displ_WString(0, 125, "Arkan Tobrzyk", Font24, 1, WHITE, BLACK);
  snprintf(buf, 50, "%s", web_address);
  Displ_WString(0, 200, buf, Font16, 1, WHITE, BLACK);
  snprintf(buf, 50, "data kompilacji:%s", build_date);
  Displ_WString(0, 290, buf, Font24, 1, WHITE, BLACK);
}

void about_screen(void) {
  osDelay(200);
  if (!wait_for_release(0)) {
    leave_for_power_down();
    return;
  }
  Displ_CLS(BLACK);
  while (!button_pressed()) {
    if (ignition_off()) {
      leave_for_power_down();
      return;
    }
    draw_about();
  }
  Displ_CLS(BLACK);
}
