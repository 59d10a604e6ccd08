// The main task: start-up, the main loop, and the power-down that keeps the
// unit powered through the relay for `offtime` minutes after ignition off.
#include <stdio.h>

#include "analog_inputs.h"
#include "board_setup.h"
#include "eeprom_record.h"
#include "end_screen.h"
#include "ignition.h"
#include "main.h"
#include "main_screen.h"
#include "menu.h"
#include "menu_controls.h"
#include "refuel.h"
#include "tasks.h"
#include "test_img.h"
#include "tm_stm32_ds18b20.h"
#include "trip_computer.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

// The OLED and the EEPROM share I2C1. The OLED task may touch the bus only
// while it runs its display: between frames it waits in a delay, and after
// setting the display up at start it suspends itself. The main task takes
// the bus only at one of those points, never in the middle of a transfer.
static eTaskState oled_state(void) { return eTaskGetState((TaskHandle_t)oledvtaskHandle); }

static void wait_for_oled_set_up(void) {
  while (oled_state() != eSuspended) {
    osDelay(1);
  }
}

static void stop_oled_between_frames(void) {
  while (oled_state() != eBlocked && oled_state() != eSuspended) {
    osDelay(1);
  }
  vTaskSuspend((TaskHandle_t)oledvtaskHandle);
}

static void start_up(void) {
  Displ_Init(Displ_Orientat_90);  // landscape, 480 x 320
  Displ_CLS(BLACK);
  HAL_ADC_Start(&hadc1);

  // The outside-temperature sensor: the first device found on the bus.
  TM_OneWire_Init(&OW, GPIOB, GPIO_PIN_9);
  if (TM_OneWire_First(&OW)) {
    TM_OneWire_GetFullROM(&OW, DS_ROM);
  }

  HAL_TIM_Base_Start_IT(&htim3);  // once a second
  HAL_TIM_Base_Start_IT(&htim4);  // stepper tick
  HAL_TIM_Base_Start_IT(&htim5);  // cruise-control tick
  HAL_TIM_Base_Start(&htim2);     // pulse timing
  Displ_CLS(BLACK);

  // From here the unit stays powered after ignition off until power-down
  // releases the relay.
  HAL_GPIO_WritePin(relay_GPIO_Port, relay_Pin, GPIO_PIN_SET);

  // The splash stays while the record is read and checked.
  ILI9488_DrawImage(0, 68, 480, 153, (uint8_t*)test_img);
  snprintf(buf, 50, "Komputer pokladowy");
  Displ_WString(0, 0, buf, Font32, 1, WHITE, BLACK);
  snprintf(buf, 50, "by A.Tobrzyk");
  Displ_WString(140, 288, buf, Font32, 1, WHITE, BLACK);

  wait_for_oled_set_up();
  readee();
  vTaskResume((TaskHandle_t)oledvtaskHandle);  // the OLED shows the logo
  eeprom_errors = (uint8_t)check_eeprom_integrity();
  save_initial_values();
  draw_lumo_logo();
  if (lpgtype == 3) {
    IsOnLpg = 0;
  }
  osDelay(3000);
  if (eeprom_errors != 0) {
    Displ_CLS(BLACK);
    snprintf(buf, 50, "znaleziono %d blad w pamieci", eeprom_errors);
    Displ_WString(0, 120, buf, Font24, 1, WHITE, BLACK);
    osDelay(2000);
  }
  Displ_CLS(BLACK);
  start_oled();
}

// Ignition off: wait out `offtime` minutes, then drop the relay (the unit
// loses power there). Returns if the ignition comes back first.
static void power_down(void) {
  rpm = 0;
  Displ_CLS(BLACK);
  draw_endscreen();  // stays through the wait
  ccenable = 0;
  targetspeed = 0.0f;
  draw_lumo_logo();
  osDelay(500);

  stop_oled_between_frames();
  writeee();
  vTaskResume((TaskHandle_t)oledvtaskHandle);

  const uint32_t endtick = HAL_GetTick();
  osDelay(5000);
  while (ignition_off()) {
    if ((float)HAL_GetTick() > (float)endtick + offtime * 60000.0f) {
      HAL_GPIO_WritePin(relay_GPIO_Port, relay_Pin, GPIO_PIN_RESET);
    }
  }
  // The relay may have been released a moment before the ignition came
  // back; hold the power again at once, so the next ignition off powers
  // down in order.
  HAL_GPIO_WritePin(relay_GPIO_Port, relay_Pin, GPIO_PIN_SET);
  Displ_CLS(BLACK);
  start_oled();
}

void mainTask(void* argument) {
  (void)argument;
  start_up();
  for (;;) {
    if (ignition_off()) {
      power_down();
    }
    update_channels();
    check_for_refuel();
    read_temperature();
    if (button_pressed() && menu == 0) {
      menu = 1;
      Displ_CLS(BLACK);
      osDelay(200);
    }
    if (menu != 0) {
      draw_menu();
    } else {
      sel = 0;
      draw_mainscreen();
    }
  }
}
