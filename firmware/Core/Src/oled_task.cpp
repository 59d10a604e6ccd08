// The OLED task: it waits, suspended, until the main task has loaded the
// settings, then follows the logo / gauge flag.
#include "main.h"
#include "tasks.h"
#include "vehicle_state.h"

void draw_lumo_logo(void) { drawlumo = 1; }

void start_oled(void) { drawlumo = 0; }

void oledtask(void* argument) {
  (void)argument;
  vTaskSuspend((TaskHandle_t)oledvtaskHandle);
  for (;;) {
    osDelay(drawlumo ? 500 : 100);
  }
}
