// Board header: the pin map of the trip computer's STM32F411 board.
#pragma once

#include "stm32f4xx_hal.h"

#ifdef __cplusplus
extern "C" {
#endif

void Error_Handler(void);

#ifdef __cplusplus
}
#endif

// Port A
#define aux_Pin GPIO_PIN_0
#define aux_GPIO_Port GPIOA
#define eng_temp_Pin GPIO_PIN_1
#define eng_temp_GPIO_Port GPIOA
#define pblvl_Pin GPIO_PIN_2
#define pblvl_GPIO_Port GPIOA
#define lpglvl_Pin GPIO_PIN_3
#define lpglvl_GPIO_Port GPIOA
#define Vbat_Pin GPIO_PIN_4
#define Vbat_GPIO_Port GPIOA
#define speed_Pin GPIO_PIN_8
#define speed_GPIO_Port GPIOA
#define speed_EXTI_IRQn EXTI9_5_IRQn
#define cc_up_Pin GPIO_PIN_9
#define cc_up_GPIO_Port GPIOA
#define relay_Pin GPIO_PIN_10
#define relay_GPIO_Port GPIOA
#define enc_but_Pin GPIO_PIN_11
#define enc_but_GPIO_Port GPIOA
#define enc_dt_Pin GPIO_PIN_12
#define enc_dt_GPIO_Port GPIOA
#define enc_clk_Pin GPIO_PIN_15
#define enc_clk_GPIO_Port GPIOA
#define enc_clk_EXTI_IRQn EXTI15_10_IRQn

// Port B
#define stepper_en_Pin GPIO_PIN_0
#define stepper_en_GPIO_Port GPIOB
#define stepper_step_Pin GPIO_PIN_1
#define stepper_step_GPIO_Port GPIOB
#define stepper_dir_Pin GPIO_PIN_2
#define stepper_dir_GPIO_Port GPIOB
#define cc_stop_Pin GPIO_PIN_3
#define cc_stop_GPIO_Port GPIOB
#define pk3_Pin GPIO_PIN_4
#define pk3_GPIO_Port GPIOB
#define pk2_Pin GPIO_PIN_5
#define pk2_GPIO_Port GPIOB
#define pk1_Pin GPIO_PIN_6
#define pk1_GPIO_Port GPIOB
#define temp_Pin GPIO_PIN_9
#define temp_GPIO_Port GPIOB
#define cc_down_Pin GPIO_PIN_10
#define cc_down_GPIO_Port GPIOB
#define wtr_pb_Pin GPIO_PIN_12
#define wtr_pb_GPIO_Port GPIOB
#define wtr_pb_EXTI_IRQn EXTI15_10_IRQn
#define wtr_lpg_Pin GPIO_PIN_13
#define wtr_lpg_GPIO_Port GPIOB
#define wtr_lpg_EXTI_IRQn EXTI15_10_IRQn
#define ignition_Pin GPIO_PIN_14
#define ignition_GPIO_Port GPIOB
#define buzzer_Pin GPIO_PIN_15
#define buzzer_GPIO_Port GPIOB

// Port C
#define lcd_dc_Pin GPIO_PIN_13
#define lcd_dc_GPIO_Port GPIOC
#define lcd_cs_Pin GPIO_PIN_14
#define lcd_cs_GPIO_Port GPIOC
#define lcd_res_Pin GPIO_PIN_15
#define lcd_res_GPIO_Port GPIOC
