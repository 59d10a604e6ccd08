// Clock tree: the internal oscillator, the main PLL, the bus dividers and
// the flash wait states.
#include "rcc_clock.h"
#include "stm32f4xx_hal.h"

namespace {

constexpr uint32_t kHsiHz = 16000000U;
constexpr uint32_t kHseHz = 25000000U;  // not fitted on this board; for completeness
constexpr uint32_t kOscTimeoutMs = 100U;
constexpr uint32_t kClockSwitchTimeoutMs = 5000U;

bool wait_cr(uint32_t mask, bool set, uint32_t timeout_ms) {
  const uint32_t start = HAL_GetTick();
  while (((RCC->CR & mask) != 0) != set) {
    if (HAL_GetTick() - start > timeout_ms) return false;
  }
  return true;
}

}  // namespace

HAL_StatusTypeDef HAL_RCC_OscConfig(RCC_OscInitTypeDef* osc) {
  if (osc == nullptr) return HAL_ERROR;
  if ((osc->OscillatorType & RCC_OSCILLATORTYPE_HSI) != 0) {
    if (osc->HSIState == RCC_HSI_ON) {
      RCC->CR = RCC->CR | RCC_CR_HSION;
      if (!wait_cr(RCC_CR_HSIRDY, true, kOscTimeoutMs)) return HAL_TIMEOUT;
      RCC->CR = (RCC->CR & ~RCC_CR_HSITRIM_Msk) | ((osc->HSICalibrationValue << RCC_CR_HSITRIM_Pos) & RCC_CR_HSITRIM_Msk);
    } else if ((RCC->CFGR & RCC_CFGR_SWS_Msk) == 0) {
      return HAL_ERROR;  // the system runs on it
    } else {
      RCC->CR = RCC->CR & ~RCC_CR_HSION;
    }
  }
  if (osc->PLL.PLLState == RCC_PLL_ON) {
    const uint32_t m = osc->PLL.PLLM, n = osc->PLL.PLLN, p = osc->PLL.PLLP, q = osc->PLL.PLLQ;
    if (m < 2 || m > 63 || n < 50 || n > 432 || (p != 2 && p != 4 && p != 6 && p != 8) || q < 2 || q > 15) {
      return HAL_ERROR;
    }
    if (((RCC->CFGR & RCC_CFGR_SWS_Msk) >> RCC_CFGR_SWS_Pos) == RCC_SYSCLKSOURCE_PLLCLK) return HAL_ERROR;
    RCC->CR = RCC->CR & ~RCC_CR_PLLON;
    if (!wait_cr(RCC_CR_PLLRDY, false, kOscTimeoutMs)) return HAL_TIMEOUT;
    RCC->PLLCFGR = kp_pllcfgr(m, n, p, q, osc->PLL.PLLSource == RCC_PLLSOURCE_HSE);
    RCC->CR = RCC->CR | RCC_CR_PLLON;
    if (!wait_cr(RCC_CR_PLLRDY, true, kOscTimeoutMs)) return HAL_TIMEOUT;
  } else if (osc->PLL.PLLState == RCC_PLL_OFF) {
    RCC->CR = RCC->CR & ~RCC_CR_PLLON;
    if (!wait_cr(RCC_CR_PLLRDY, false, kOscTimeoutMs)) return HAL_TIMEOUT;
  }
  return HAL_OK;
}

HAL_StatusTypeDef HAL_RCC_ClockConfig(RCC_ClkInitTypeDef* clk, uint32_t FLatency) {
  if (clk == nullptr || FLatency > FLASH_LATENCY_5) return HAL_ERROR;
  // More wait states before a faster clock, fewer only after a slower one.
  if (FLatency > (FLASH->ACR & FLASH_ACR_LATENCY_Msk)) {
    FLASH->ACR = (FLASH->ACR & ~FLASH_ACR_LATENCY_Msk) | FLatency;
    if ((FLASH->ACR & FLASH_ACR_LATENCY_Msk) != FLatency) return HAL_ERROR;
  }
  if ((clk->ClockType & RCC_CLOCKTYPE_HCLK) != 0) {
    // The APB buses at their slowest while the core clock changes.
    RCC->CFGR = RCC->CFGR | RCC_CFGR_PPRE1_Msk | RCC_CFGR_PPRE2_Msk;
    RCC->CFGR = (RCC->CFGR & ~RCC_CFGR_HPRE_Msk) | (clk->AHBCLKDivider & RCC_CFGR_HPRE_Msk);
  }
  if ((clk->ClockType & RCC_CLOCKTYPE_SYSCLK) != 0) {
    const uint32_t src = clk->SYSCLKSource;
    if (src == RCC_SYSCLKSOURCE_PLLCLK && (RCC->CR & RCC_CR_PLLRDY) == 0) return HAL_ERROR;
    if (src == RCC_SYSCLKSOURCE_HSI && (RCC->CR & RCC_CR_HSIRDY) == 0) return HAL_ERROR;
    if (src == RCC_SYSCLKSOURCE_HSE && (RCC->CR & RCC_CR_HSERDY) == 0) return HAL_ERROR;
    RCC->CFGR = (RCC->CFGR & ~RCC_CFGR_SW_Msk) | (src & RCC_CFGR_SW_Msk);
    const uint32_t start = HAL_GetTick();
    while (((RCC->CFGR & RCC_CFGR_SWS_Msk) >> RCC_CFGR_SWS_Pos) != src) {
      if (HAL_GetTick() - start > kClockSwitchTimeoutMs) return HAL_TIMEOUT;
    }
  }
  if (FLatency < (FLASH->ACR & FLASH_ACR_LATENCY_Msk)) {
    FLASH->ACR = (FLASH->ACR & ~FLASH_ACR_LATENCY_Msk) | FLatency;
    if ((FLASH->ACR & FLASH_ACR_LATENCY_Msk) != FLatency) return HAL_ERROR;
  }
  if ((clk->ClockType & RCC_CLOCKTYPE_PCLK1) != 0) {
    RCC->CFGR = (RCC->CFGR & ~RCC_CFGR_PPRE1_Msk) | (clk->APB1CLKDivider & RCC_CFGR_PPRE1_Msk);
  }
  if ((clk->ClockType & RCC_CLOCKTYPE_PCLK2) != 0) {
    RCC->CFGR = (RCC->CFGR & ~RCC_CFGR_PPRE2_Msk) | ((clk->APB2CLKDivider << 3) & RCC_CFGR_PPRE2_Msk);
  }
  SystemCoreClock = HAL_RCC_GetHCLKFreq();
  // The millisecond tick is re-timed for the new clock.
  return HAL_InitTick(uwTickPrio);
}

uint32_t HAL_RCC_GetSysClockFreq(void) {
  switch ((RCC->CFGR & RCC_CFGR_SWS_Msk) >> RCC_CFGR_SWS_Pos) {
    case RCC_SYSCLKSOURCE_HSE:
      return kHseHz;
    case RCC_SYSCLKSOURCE_PLLCLK:
      return kp_pll_output_hz(RCC->PLLCFGR, kHsiHz, kHseHz);
    default:
      return kHsiHz;
  }
}

uint32_t HAL_RCC_GetHCLKFreq(void) {
  return HAL_RCC_GetSysClockFreq() >> kp_ahb_shift((RCC->CFGR & RCC_CFGR_HPRE_Msk) >> RCC_CFGR_HPRE_Pos);
}

uint32_t HAL_RCC_GetPCLK1Freq(void) {
  return HAL_RCC_GetHCLKFreq() >> kp_apb_shift((RCC->CFGR & RCC_CFGR_PPRE1_Msk) >> RCC_CFGR_PPRE1_Pos);
}

uint32_t HAL_RCC_GetPCLK2Freq(void) {
  return HAL_RCC_GetHCLKFreq() >> kp_apb_shift((RCC->CFGR & RCC_CFGR_PPRE2_Msk) >> RCC_CFGR_PPRE2_Pos);
}

void HAL_RCC_GetClockConfig(RCC_ClkInitTypeDef* clk, uint32_t* pFLatency) {
  const uint32_t cfgr = RCC->CFGR;
  clk->ClockType = RCC_CLOCKTYPE_SYSCLK | RCC_CLOCKTYPE_HCLK | RCC_CLOCKTYPE_PCLK1 | RCC_CLOCKTYPE_PCLK2;
  clk->SYSCLKSource = cfgr & RCC_CFGR_SW_Msk;
  clk->AHBCLKDivider = cfgr & RCC_CFGR_HPRE_Msk;
  clk->APB1CLKDivider = cfgr & RCC_CFGR_PPRE1_Msk;
  clk->APB2CLKDivider = (cfgr & RCC_CFGR_PPRE2_Msk) >> 3;
  *pFLatency = FLASH->ACR & FLASH_ACR_LATENCY_Msk;
}
