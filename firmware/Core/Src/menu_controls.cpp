#include "menu_controls.h"

#include "cmsis_os.h"
#include "ignition.h"
#include "main.h"
#include "trip_computer.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

bool button_pressed(void) { return HAL_GPIO_ReadPin(enc_but_GPIO_Port, enc_but_Pin) == GPIO_PIN_RESET; }

bool wait_for_release(uint32_t poll_ms) {
  while (button_pressed()) {
    if (ignition_off()) {
      return false;
    }
    if (poll_ms != 0) {
      osDelay(poll_ms);
    }
  }
  return true;
}

void leave_for_power_down(void) {
  // The channels have not been brought up to date while the screen ran; the
  // record is written before the main loop would do it.
  update_channels();
  menu = 0;
  Displ_CLS(BLACK);
}
