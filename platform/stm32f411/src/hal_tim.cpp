// Basic timer use: time base set-up, start with or without the update
// interrupt, and the update interrupt's dispatch.
#include "stm32f4xx_hal.h"

namespace {

bool is_32bit(const TIM_TypeDef* tim) { return tim == TIM2 || tim == TIM5; }
bool is_advanced(const TIM_TypeDef* tim) { return tim == TIM1; }

}  // namespace

HAL_StatusTypeDef HAL_TIM_Base_Init(TIM_HandleTypeDef* htim) {
  if (htim == nullptr || htim->Instance == nullptr) return HAL_ERROR;
  const TIM_Base_InitTypeDef& in = htim->Init;
  if (in.CounterMode != TIM_COUNTERMODE_UP && in.CounterMode != TIM_COUNTERMODE_DOWN) return HAL_ERROR;
  if (in.Prescaler > 0xFFFFU) return HAL_ERROR;
  if (!is_32bit(htim->Instance) && in.Period > 0xFFFFU) return HAL_ERROR;
  if (htim->State == HAL_TIM_STATE_RESET) {
    htim->Lock = HAL_UNLOCKED;
    HAL_TIM_Base_MspInit(htim);
  }
  htim->State = HAL_TIM_STATE_BUSY;
  TIM_TypeDef* tim = htim->Instance;
  tim->CR1 = (tim->CR1 & ~(TIM_CR1_DIR | TIM_CR1_CMS_Msk | TIM_CR1_CKD_Msk | TIM_CR1_ARPE)) | in.CounterMode |
             in.ClockDivision | in.AutoReloadPreload;
  tim->ARR = in.Period;
  tim->PSC = in.Prescaler;
  if (is_advanced(tim)) tim->RCR = in.RepetitionCounter;
  // Loads the prescaler now (it is otherwise taken at the next update).
  tim->EGR = TIM_EGR_UG;
  htim->State = HAL_TIM_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_Base_Start(TIM_HandleTypeDef* htim) {
  if (htim == nullptr || htim->State != HAL_TIM_STATE_READY) return HAL_ERROR;
  htim->State = HAL_TIM_STATE_BUSY;
  htim->Instance->CR1 = htim->Instance->CR1 | TIM_CR1_CEN;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_Base_Start_IT(TIM_HandleTypeDef* htim) {
  if (htim == nullptr || htim->State != HAL_TIM_STATE_READY) return HAL_ERROR;
  htim->State = HAL_TIM_STATE_BUSY;
  htim->Instance->DIER = htim->Instance->DIER | TIM_DIER_UIE;
  htim->Instance->CR1 = htim->Instance->CR1 | TIM_CR1_CEN;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_ConfigClockSource(TIM_HandleTypeDef* htim, TIM_ClockConfigTypeDef* sClockSourceConfig) {
  if (htim == nullptr || sClockSourceConfig == nullptr) return HAL_ERROR;
  // Only the internal clock is wired on this board: slave mode off.
  if (sClockSourceConfig->ClockSource != TIM_CLOCKSOURCE_INTERNAL) return HAL_ERROR;
  htim->Instance->SMCR = htim->Instance->SMCR & ~(TIM_SMCR_SMS_Msk | TIM_SMCR_TS_Msk | TIM_SMCR_ECE);
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIMEx_MasterConfigSynchronization(TIM_HandleTypeDef* htim,
                                                        TIM_MasterConfigTypeDef* sMasterConfig) {
  if (htim == nullptr || sMasterConfig == nullptr) return HAL_ERROR;
  TIM_TypeDef* tim = htim->Instance;
  tim->CR2 = (tim->CR2 & ~TIM_CR2_MMS_Msk) | (sMasterConfig->MasterOutputTrigger & TIM_CR2_MMS_Msk);
  tim->SMCR = (tim->SMCR & ~TIM_SMCR_MSM) | (sMasterConfig->MasterSlaveMode & TIM_SMCR_MSM);
  return HAL_OK;
}

void HAL_TIM_IRQHandler(TIM_HandleTypeDef* htim) {
  TIM_TypeDef* tim = htim->Instance;
  if ((tim->SR & TIM_SR_UIF) != 0 && (tim->DIER & TIM_DIER_UIE) != 0) {
    tim->SR = ~TIM_SR_UIF;  // flags clear on writing 0
    HAL_TIM_PeriodElapsedCallback(htim);
  }
}
