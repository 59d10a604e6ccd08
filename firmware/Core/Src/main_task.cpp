// The main task: start-up, the main loop, and the power-down that keeps the
// unit powered through the relay for `offtime` minutes after ignition off.
#include "board_setup.h"
#include "main.h"
#include "tasks.h"
#include "trip_computer.h"
#include "vehicle_state.h"

static bool ignition_on(void) { return HAL_GPIO_ReadPin(ignition_GPIO_Port, ignition_Pin) == GPIO_PIN_SET; }

static void start_up(void) {
  HAL_ADC_Start(&hadc1);

  HAL_TIM_Base_Start_IT(&htim3);  // once a second
  HAL_TIM_Base_Start_IT(&htim4);  // stepper tick
  HAL_TIM_Base_Start_IT(&htim5);  // cruise-control tick
  HAL_TIM_Base_Start(&htim2);     // pulse timing

  // From here the unit stays powered after ignition off until power-down
  // releases the relay.
  HAL_GPIO_WritePin(relay_GPIO_Port, relay_Pin, GPIO_PIN_SET);

  vTaskResume((TaskHandle_t)oledvtaskHandle);  // the OLED shows the logo
  save_initial_values();
  draw_lumo_logo();
  if (lpgtype == 3) {
    IsOnLpg = 0;
  }
  osDelay(3000);
  start_oled();
}

// Ignition off: wait out `offtime` minutes, then drop the relay (the unit
// loses power there). Returns if the ignition comes back first.
static void power_down(void) {
  rpm = 0;
  ccenable = 0;
  targetspeed = 0.0f;
  draw_lumo_logo();
  osDelay(500);

  const uint32_t endtick = HAL_GetTick();
  osDelay(5000);
  while (!ignition_on()) {
    if ((float)HAL_GetTick() > (float)endtick + offtime * 60000.0f) {
      HAL_GPIO_WritePin(relay_GPIO_Port, relay_Pin, GPIO_PIN_RESET);
    }
  }
  start_oled();
  // The relay may have been released a moment before the ignition came
  // back; hold the power again so the next ignition off powers down in order.
  HAL_GPIO_WritePin(relay_GPIO_Port, relay_Pin, GPIO_PIN_SET);
}

void mainTask(void* argument) {
  (void)argument;
  start_up();
  for (;;) {
    if (!ignition_on()) {
      power_down();
    }
    update_channels();
    sel = 0;
  }
}
