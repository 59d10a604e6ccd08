// Entry point: board set-up, the three tasks, the kernel start.
#include "main.h"

#include "board_setup.h"
#include "cmsis_os.h"
#include "tasks.h"

osThreadId_t mainvTaskHandle;
osThreadId_t oledvtaskHandle;
osThreadId_t adcvtaskHandle;

const osThreadAttr_t mainvTask_attributes = {
    .name = "mainvTask", .attr_bits = 0, .cb_mem = nullptr, .cb_size = 0, .stack_mem = nullptr,
    .stack_size = 15360, .priority = osPriorityNormal, .tz_module = 0, .reserved = 0};
const osThreadAttr_t oledvtask_attributes = {
    .name = "oledvtask", .attr_bits = 0, .cb_mem = nullptr, .cb_size = 0, .stack_mem = nullptr,
    .stack_size = 8192, .priority = osPriorityNormal, .tz_module = 0, .reserved = 0};
const osThreadAttr_t adcvtask_attributes = {
    .name = "adcvtask", .attr_bits = 0, .cb_mem = nullptr, .cb_size = 0, .stack_mem = nullptr,
    .stack_size = 512, .priority = osPriorityNormal, .tz_module = 0, .reserved = 0};

int main(void) {
  HAL_Init();
  SystemClock_Config();
  MX_GPIO_Init();  // enables the pin-change interrupts
  MX_DMA_Init();
  MX_SPI1_Init();
  MX_TIM2_Init();
  MX_ADC1_Init();
  MX_I2C1_Init();
  MX_TIM3_Init();
  MX_TIM4_Init();
  MX_TIM5_Init();

  osKernelInitialize();
  mainvTaskHandle = osThreadNew(mainTask, NULL, &mainvTask_attributes);
  oledvtaskHandle = osThreadNew(oledtask, NULL, &oledvtask_attributes);
  adcvtaskHandle = osThreadNew(adctask, NULL, &adcvtask_attributes);
  osKernelStart();

  while (1) {
    __NOP();
  }
}

// TIM1 carries the HAL's millisecond tick; the other timers do their work in
// their own interrupt handlers.
void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef* htim) {
  if (htim->Instance == TIM1) {
    HAL_IncTick();
  }
}

// A failed set-up call: stop here, interrupts still running.
void Error_Handler(void) {
  while (1) {
    __NOP();
  }
}
