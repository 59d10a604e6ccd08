// I2C1 as a bus master, polled, following the reference manual's sequences
// for the STM32F4 I2C block: register-address writes and reads of 1, 2 or
// more bytes, and the acknowledge probe. Every wait has the caller's
// time-out in milliseconds; a missing acknowledge ends the transfer with a
// stop and an error.
#include "stm32f4xx_hal.h"

namespace {

enum class Wait { Ok, Nack, Timeout };

Wait wait_sr1(I2C_HandleTypeDef* h, uint32_t flag, uint32_t start, uint32_t timeout) {
  I2C_TypeDef* i2c = h->Instance;
  while ((i2c->SR1 & flag) == 0) {
    if ((i2c->SR1 & I2C_SR1_AF) != 0) {
      i2c->CR1 = i2c->CR1 | I2C_CR1_STOP;
      i2c->SR1 = ~I2C_SR1_AF;
      h->ErrorCode = h->ErrorCode | HAL_I2C_ERROR_AF;
      return Wait::Nack;
    }
    if (timeout != HAL_MAX_DELAY && HAL_GetTick() - start > timeout) {
      h->ErrorCode = h->ErrorCode | HAL_I2C_ERROR_TIMEOUT;
      return Wait::Timeout;
    }
  }
  return Wait::Ok;
}

bool wait_not_busy(I2C_HandleTypeDef* h, uint32_t start, uint32_t timeout) {
  while ((h->Instance->SR2 & I2C_SR2_BUSY) != 0) {
    if (HAL_GetTick() - start > timeout) return false;
  }
  return true;
}

void clear_addr(I2C_TypeDef* i2c) {
  (void)i2c->SR1;
  (void)i2c->SR2;
}

HAL_StatusTypeDef finish(I2C_HandleTypeDef* h, Wait w) {
  h->State = HAL_I2C_STATE_READY;
  h->Mode = HAL_I2C_MODE_NONE;
  h->Lock = HAL_UNLOCKED;
  if (w == Wait::Ok) return HAL_OK;
  if (w == Wait::Timeout) h->Instance->CR1 = h->Instance->CR1 | I2C_CR1_STOP;
  return w == Wait::Timeout ? HAL_TIMEOUT : HAL_ERROR;
}

// Start, then the address byte; waits for its acknowledge.
Wait address(I2C_HandleTypeDef* h, uint8_t addr_byte, uint32_t start, uint32_t timeout) {
  I2C_TypeDef* i2c = h->Instance;
  i2c->CR1 = i2c->CR1 | I2C_CR1_START;
  Wait w = wait_sr1(h, I2C_SR1_SB, start, timeout);
  if (w != Wait::Ok) return w;
  i2c->DR = addr_byte;
  return wait_sr1(h, I2C_SR1_ADDR, start, timeout);
}

// Start, device address for writing, the one-byte register address.
Wait begin_write(I2C_HandleTypeDef* h, uint16_t dev, uint16_t mem, uint32_t start, uint32_t timeout) {
  Wait w = address(h, (uint8_t)(dev & 0xFEU), start, timeout);
  if (w != Wait::Ok) return w;
  clear_addr(h->Instance);
  w = wait_sr1(h, I2C_SR1_TXE, start, timeout);
  if (w != Wait::Ok) return w;
  h->Instance->DR = (uint8_t)(mem & 0xFFU);
  return Wait::Ok;
}

bool claim(I2C_HandleTypeDef* h, uint32_t start, uint32_t timeout) {
  if (h->State != HAL_I2C_STATE_READY) return false;
  if (!wait_not_busy(h, start, timeout)) return false;
  h->State = HAL_I2C_STATE_BUSY;
  h->Lock = HAL_LOCKED;
  h->ErrorCode = HAL_I2C_ERROR_NONE;
  h->Instance->CR1 = (h->Instance->CR1 | I2C_CR1_PE) & ~I2C_CR1_POS;
  return true;
}

}  // namespace

HAL_StatusTypeDef HAL_I2C_Init(I2C_HandleTypeDef* hi2c) {
  if (hi2c == nullptr || hi2c->Instance == nullptr) return HAL_ERROR;
  if (hi2c->Init.ClockSpeed == 0 || hi2c->Init.ClockSpeed > 400000U) return HAL_ERROR;
  if (hi2c->State == HAL_I2C_STATE_RESET) {
    hi2c->Lock = HAL_UNLOCKED;
    HAL_I2C_MspInit(hi2c);
  }
  I2C_TypeDef* i2c = hi2c->Instance;
  const uint32_t pclk = HAL_RCC_GetPCLK1Freq();
  const uint32_t mhz = pclk / 1000000U;
  if (mhz < 2 || mhz > 50) return HAL_ERROR;
  i2c->CR1 = i2c->CR1 & ~I2C_CR1_PE;
  i2c->CR1 = i2c->CR1 | I2C_CR1_SWRST;  // a clean state, whatever came before
  i2c->CR1 = i2c->CR1 & ~I2C_CR1_SWRST;
  i2c->CR2 = mhz;
  if (hi2c->Init.ClockSpeed <= 100000U) {
    uint32_t ccr = pclk / (hi2c->Init.ClockSpeed * 2U);
    if (ccr < 4) ccr = 4;
    i2c->CCR = ccr;
    i2c->TRISE = mhz + 1U;  // 1000 ns rise time
  } else {
    const bool duty16_9 = hi2c->Init.DutyCycle == I2C_DUTYCYCLE_16_9;
    uint32_t ccr = duty16_9 ? pclk / (hi2c->Init.ClockSpeed * 25U) : pclk / (hi2c->Init.ClockSpeed * 3U);
    if (ccr < 1) ccr = 1;
    i2c->CCR = I2C_CCR_FS | (duty16_9 ? (1U << 14) : 0U) | ccr;
    i2c->TRISE = mhz * 300U / 1000U + 1U;  // 300 ns rise time
  }
  i2c->CR1 = hi2c->Init.GeneralCallMode | hi2c->Init.NoStretchMode;
  i2c->OAR1 = hi2c->Init.AddressingMode | hi2c->Init.OwnAddress1;
  i2c->OAR2 = hi2c->Init.DualAddressMode | hi2c->Init.OwnAddress2;
  i2c->CR1 = i2c->CR1 | I2C_CR1_PE;
  hi2c->ErrorCode = HAL_I2C_ERROR_NONE;
  hi2c->State = HAL_I2C_STATE_READY;
  hi2c->Mode = HAL_I2C_MODE_NONE;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_I2C_Mem_Write(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint16_t MemAddress,
                                    uint16_t MemAddSize, uint8_t* pData, uint16_t Size, uint32_t Timeout) {
  const uint32_t start = HAL_GetTick();
  if (MemAddSize != I2C_MEMADD_SIZE_8BIT || (pData == nullptr && Size != 0)) return HAL_ERROR;
  if (!claim(hi2c, start, Timeout)) return HAL_BUSY;
  hi2c->Mode = HAL_I2C_MODE_MEM;
  I2C_TypeDef* i2c = hi2c->Instance;
  Wait w = begin_write(hi2c, DevAddress, MemAddress, start, Timeout);
  for (uint16_t i = 0; w == Wait::Ok && i < Size; i++) {
    w = wait_sr1(hi2c, I2C_SR1_TXE, start, Timeout);
    if (w == Wait::Ok) i2c->DR = pData[i];
  }
  if (w == Wait::Ok) w = wait_sr1(hi2c, I2C_SR1_BTF, start, Timeout);
  if (w == Wait::Ok) i2c->CR1 = i2c->CR1 | I2C_CR1_STOP;
  return finish(hi2c, w);
}

HAL_StatusTypeDef HAL_I2C_Mem_Read(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint16_t MemAddress,
                                   uint16_t MemAddSize, uint8_t* pData, uint16_t Size, uint32_t Timeout) {
  const uint32_t start = HAL_GetTick();
  if (MemAddSize != I2C_MEMADD_SIZE_8BIT || pData == nullptr || Size == 0) return HAL_ERROR;
  if (!claim(hi2c, start, Timeout)) return HAL_BUSY;
  hi2c->Mode = HAL_I2C_MODE_MEM;
  I2C_TypeDef* i2c = hi2c->Instance;
  Wait w = begin_write(hi2c, DevAddress, MemAddress, start, Timeout);
  if (w == Wait::Ok) w = wait_sr1(hi2c, I2C_SR1_TXE, start, Timeout);
  // Repeated start, the device address for reading.
  if (w == Wait::Ok) {
    i2c->CR1 = i2c->CR1 | I2C_CR1_ACK;
    w = address(hi2c, (uint8_t)(DevAddress | 1U), start, Timeout);
  }
  if (w != Wait::Ok) return finish(hi2c, w);

  uint16_t left = Size;
  uint8_t* out = pData;
  if (left == 1) {
    i2c->CR1 = i2c->CR1 & ~I2C_CR1_ACK;
    clear_addr(i2c);
    i2c->CR1 = i2c->CR1 | I2C_CR1_STOP;
  } else if (left == 2) {
    i2c->CR1 = (i2c->CR1 & ~I2C_CR1_ACK) | I2C_CR1_POS;
    clear_addr(i2c);
  } else {
    clear_addr(i2c);
  }
  while (w == Wait::Ok && left > 0) {
    if (left == 1) {
      w = wait_sr1(hi2c, I2C_SR1_RXNE, start, Timeout);
      if (w == Wait::Ok) {
        *out++ = (uint8_t)i2c->DR;
        left--;
      }
    } else if (left == 2) {
      // Both last bytes are in: stop, then read them.
      w = wait_sr1(hi2c, I2C_SR1_BTF, start, Timeout);
      if (w == Wait::Ok) {
        i2c->CR1 = i2c->CR1 | I2C_CR1_STOP;
        *out++ = (uint8_t)i2c->DR;
        *out++ = (uint8_t)i2c->DR;
        left = (uint16_t)(left - 2U);
      }
    } else if (left == 3) {
      // The third-last byte is read with the acknowledge already withdrawn.
      w = wait_sr1(hi2c, I2C_SR1_BTF, start, Timeout);
      if (w == Wait::Ok) {
        i2c->CR1 = i2c->CR1 & ~I2C_CR1_ACK;
        *out++ = (uint8_t)i2c->DR;
        left--;
      }
    } else {
      w = wait_sr1(hi2c, I2C_SR1_RXNE, start, Timeout);
      if (w == Wait::Ok) {
        *out++ = (uint8_t)i2c->DR;
        left--;
      }
    }
  }
  i2c->CR1 = i2c->CR1 & ~I2C_CR1_POS;
  return finish(hi2c, w);
}

HAL_StatusTypeDef HAL_I2C_IsDeviceReady(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint32_t Trials,
                                        uint32_t Timeout) {
  const uint32_t start = HAL_GetTick();
  if (!claim(hi2c, start, Timeout)) return HAL_BUSY;
  I2C_TypeDef* i2c = hi2c->Instance;
  for (uint32_t trial = 0; trial < Trials; trial++) {
    const uint32_t t0 = HAL_GetTick();
    const Wait w = address(hi2c, (uint8_t)(DevAddress & 0xFEU), t0, Timeout);
    if (w == Wait::Ok) {
      i2c->CR1 = i2c->CR1 | I2C_CR1_STOP;
      clear_addr(i2c);
      if (!wait_not_busy(hi2c, t0, Timeout)) break;
      hi2c->ErrorCode = HAL_I2C_ERROR_NONE;
      return finish(hi2c, Wait::Ok);
    }
    if (w == Wait::Timeout) {
      i2c->CR1 = i2c->CR1 | I2C_CR1_STOP;
    }
    if (!wait_not_busy(hi2c, t0, Timeout)) break;
  }
  finish(hi2c, Wait::Ok);
  return HAL_ERROR;
}
