// ADC1: one software-started regular conversion at a time on the channel
// of rank 1, polled for its end.
#include "stm32f4xx_hal.h"

HAL_StatusTypeDef HAL_ADC_Init(ADC_HandleTypeDef* hadc) {
  if (hadc == nullptr || hadc->Instance != ADC1) return HAL_ERROR;
  if (hadc->State == HAL_ADC_STATE_RESET) {
    hadc->Lock = HAL_UNLOCKED;
    HAL_ADC_MspInit(hadc);
  }
  const ADC_InitTypeDef& in = hadc->Init;
  ADC_TypeDef* adc = hadc->Instance;
  ADC1_COMMON->CCR = (ADC1_COMMON->CCR & ~ADC_CCR_ADCPRE_Msk) | (in.ClockPrescaler & ADC_CCR_ADCPRE_Msk);
  adc->CR1 = (adc->CR1 & ~(ADC_CR1_SCAN | ADC_CR1_RES_Msk | ADC_CR1_DISCEN)) |
             (in.ScanConvMode != 0 ? ADC_CR1_SCAN : 0U) | (in.Resolution & ADC_CR1_RES_Msk) |
             (in.DiscontinuousConvMode == ENABLE ? ADC_CR1_DISCEN : 0U);
  adc->CR2 = (adc->CR2 & ~(ADC_CR2_ALIGN | ADC_CR2_CONT | ADC_CR2_EXTEN_Msk | ADC_CR2_EOCS)) |
             (in.DataAlign & ADC_CR2_ALIGN) | (in.ContinuousConvMode == ENABLE ? ADC_CR2_CONT : 0U) |
             (in.EOCSelection == ADC_EOC_SINGLE_CONV ? ADC_CR2_EOCS : 0U);
  const uint32_t n = in.NbrOfConversion == 0 ? 1U : in.NbrOfConversion;
  adc->SQR1 = (adc->SQR1 & ~(0xFU << ADC_SQR1_L_Pos)) | ((n - 1U) << ADC_SQR1_L_Pos);
  hadc->ErrorCode = 0;
  hadc->State = HAL_ADC_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_ADC_ConfigChannel(ADC_HandleTypeDef* hadc, ADC_ChannelConfTypeDef* sConfig) {
  if (hadc == nullptr || sConfig == nullptr || sConfig->Channel > 18U || sConfig->Rank != 1U) return HAL_ERROR;
  ADC_TypeDef* adc = hadc->Instance;
  const uint32_t ch = sConfig->Channel;
  const uint32_t smp = sConfig->SamplingTime & 7U;
  if (ch < 10) {
    adc->SMPR2 = (adc->SMPR2 & ~(7U << (3 * ch))) | (smp << (3 * ch));
  } else {
    adc->SMPR1 = (adc->SMPR1 & ~(7U << (3 * (ch - 10)))) | (smp << (3 * (ch - 10)));
  }
  adc->SQR3 = (adc->SQR3 & ~0x1FU) | ch;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_ADC_Start(ADC_HandleTypeDef* hadc) {
  if (hadc == nullptr) return HAL_ERROR;
  ADC_TypeDef* adc = hadc->Instance;
  if ((adc->CR2 & ADC_CR2_ADON) == 0) {
    adc->CR2 = adc->CR2 | ADC_CR2_ADON;
    // The converter needs a few microseconds to stabilise after power-on.
    for (uint32_t i = 0; i < SystemCoreClock / 1000000U * 3U; i++) {
      __NOP();
    }
  }
  hadc->State = HAL_ADC_STATE_REG_BUSY;
  adc->SR = ~(ADC_SR_EOC | ADC_SR_OVR);
  adc->CR2 = adc->CR2 | ADC_CR2_SWSTART;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_ADC_PollForConversion(ADC_HandleTypeDef* hadc, uint32_t Timeout) {
  const uint32_t start = HAL_GetTick();
  while ((hadc->Instance->SR & ADC_SR_EOC) == 0) {
    if (Timeout != HAL_MAX_DELAY && HAL_GetTick() - start > Timeout) {
      hadc->State = HAL_ADC_STATE_READY;
      return HAL_TIMEOUT;
    }
  }
  hadc->State = HAL_ADC_STATE_REG_EOC;
  return HAL_OK;
}

uint32_t HAL_ADC_GetValue(ADC_HandleTypeDef* hadc) { return hadc->Instance->DR; }  // the read clears EOC
