#include "oled_handover.h"

#include "cmsis_os.h"
#include "task.h"
#include "tasks.h"

static eTaskState oled_state(void) { return eTaskGetState((TaskHandle_t)oledvtaskHandle); }

void wait_for_oled_set_up(void) {
  while (oled_state() != eSuspended) {
    osDelay(1);
  }
}

void stop_oled_between_frames(void) {
  while (oled_state() != eBlocked && oled_state() != eSuspended) {
    osDelay(1);
  }
  vTaskSuspend((TaskHandle_t)oledvtaskHandle);
}
