// HAL operations of the clock tree, GPIO, timers, ADC, I2C, SPI and DMA,
// routed to the simulated peripherals.
#include <cstring>

#include "machine_impl.h"

using host::impl;
namespace cost = host::cost;

namespace {

int port_index(const GPIO_TypeDef* port) {
  const auto* base = reinterpret_cast<const unsigned char*>(GPIOA);
  const auto diff = reinterpret_cast<const unsigned char*>(port) - base;
  return static_cast<int>(diff / 0x400);
}

}  // namespace

extern "C" {

// ---------------------------------------------------------------- rcc
HAL_StatusTypeDef HAL_RCC_OscConfig(RCC_OscInitTypeDef* RCC_OscInitStruct) {
  if (RCC_OscInitStruct == nullptr) return HAL_ERROR;
  return impl().rcc.osc_config(*RCC_OscInitStruct);
}

HAL_StatusTypeDef HAL_RCC_ClockConfig(RCC_ClkInitTypeDef* RCC_ClkInitStruct, uint32_t FLatency) {
  if (RCC_ClkInitStruct == nullptr) return HAL_ERROR;
  return impl().rcc.clock_config(*RCC_ClkInitStruct, FLatency);
}

void HAL_RCC_GetClockConfig(RCC_ClkInitTypeDef* RCC_ClkInitStruct, uint32_t* pFLatency) {
  impl().cpu.charge(cost::kHalCall);
  impl().rcc.get_clock_config(RCC_ClkInitStruct, pFLatency);
}

uint32_t HAL_RCC_GetSysClockFreq(void) { return impl().rcc.sysclk(); }
uint32_t HAL_RCC_GetHCLKFreq(void) {
  impl().cpu.charge_poll(cost::kRegister);
  return SystemCoreClock;
}
uint32_t HAL_RCC_GetPCLK1Freq(void) {
  impl().cpu.charge_poll(cost::kRegister);
  return impl().rcc.pclk1();
}
uint32_t HAL_RCC_GetPCLK2Freq(void) {
  impl().cpu.charge_poll(cost::kRegister);
  return impl().rcc.pclk2();
}

// ---------------------------------------------------------------- gpio
void HAL_GPIO_Init(GPIO_TypeDef* GPIOx, GPIO_InitTypeDef* GPIO_Init) {
  host::MachineImpl& m = impl();
  m.cpu.charge(cost::kHalCall);
  const std::uint32_t mode = GPIO_Init->Mode;
  const std::uint32_t moder = mode & 3u;
  for (unsigned pos = 0; pos < 16; ++pos) {
    if (!(GPIO_Init->Pin & (1u << pos))) continue;
    m.cpu.charge(cost::kHalCall);
    if (moder == 1 || moder == 2) {
      GPIOx->OSPEEDR = (GPIOx->OSPEEDR & ~(3u << (2 * pos))) | ((GPIO_Init->Speed & 3u) << (2 * pos));
      GPIOx->OTYPER = (GPIOx->OTYPER & ~(1u << pos)) | (((mode >> 4) & 1u) << pos);
    }
    if (moder != 3) GPIOx->PUPDR = (GPIOx->PUPDR & ~(3u << (2 * pos))) | ((GPIO_Init->Pull & 3u) << (2 * pos));
    if (moder == 2) {
      HwReg& afr = GPIOx->AFR[pos >> 3];
      afr = (afr & ~(0xFu << (4 * (pos & 7)))) | ((GPIO_Init->Alternate & 0xFu) << (4 * (pos & 7)));
    }
    GPIOx->MODER = (GPIOx->MODER & ~(3u << (2 * pos))) | (moder << (2 * pos));
    if (mode & 0x10000000u) {  // external interrupt or event line
      __HAL_RCC_SYSCFG_CLK_ENABLE();
      HwReg& cr = SYSCFG->EXTICR[pos >> 2];
      cr = (cr & ~(0xFu << (4 * (pos & 3)))) | (static_cast<std::uint32_t>(port_index(GPIOx)) << (4 * (pos & 3)));
      const std::uint32_t bit = 1u << pos;
      EXTI->IMR = (mode & 0x00010000u) ? (EXTI->IMR | bit) : (EXTI->IMR & ~bit);
      EXTI->EMR = (mode & 0x00020000u) ? (EXTI->EMR | bit) : (EXTI->EMR & ~bit);
      EXTI->RTSR = (mode & 0x00100000u) ? (EXTI->RTSR | bit) : (EXTI->RTSR & ~bit);
      EXTI->FTSR = (mode & 0x00200000u) ? (EXTI->FTSR | bit) : (EXTI->FTSR & ~bit);
    }
  }
}

GPIO_PinState HAL_GPIO_ReadPin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin) {
  host::MachineImpl& m = impl();
  m.cpu.charge_poll(cost::kPinRead);
  return (m.gpio.read(port_index(GPIOx), host::Gpio::IDR) & GPIO_Pin) != 0 ? GPIO_PIN_SET : GPIO_PIN_RESET;
}

void HAL_GPIO_WritePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin, GPIO_PinState PinState) {
  host::MachineImpl& m = impl();
  m.cpu.charge(cost::kPinWrite);
  m.gpio.write_bsrr(port_index(GPIOx), PinState != GPIO_PIN_RESET ? GPIO_Pin : static_cast<std::uint32_t>(GPIO_Pin) << 16);
}

void HAL_GPIO_TogglePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin) {
  host::MachineImpl& m = impl();
  m.cpu.charge(cost::kPinWrite);
  const int p = port_index(GPIOx);
  const std::uint32_t odr = m.gpio.read(p, host::Gpio::ODR);
  m.gpio.write_bsrr(p, ((odr & GPIO_Pin) << 16) | (~odr & GPIO_Pin));
}

void HAL_GPIO_EXTI_IRQHandler(uint16_t GPIO_Pin) {
  host::MachineImpl& m = impl();
  m.cpu.charge(cost::kHalCall);
  if ((m.exti.read(host::Exti::PR) & GPIO_Pin) != 0) {
    m.exti.write(host::Exti::PR, GPIO_Pin);
    if (m.hooks.gpio_exti_callback != nullptr) m.hooks.gpio_exti_callback(GPIO_Pin);
  }
}

// ---------------------------------------------------------------- tim
HAL_StatusTypeDef HAL_TIM_Base_Init(TIM_HandleTypeDef* htim) {
  host::MachineImpl& m = impl();
  if (htim == nullptr) return HAL_ERROR;
  m.cpu.charge(cost::kHalInit);
  host::Timer* t = m.timer_of(htim->Instance);
  if (t == nullptr) return HAL_ERROR;
  const auto& in = htim->Init;
  if (in.CounterMode != TIM_COUNTERMODE_UP && in.CounterMode != TIM_COUNTERMODE_DOWN) return HAL_ERROR;
  if (in.Prescaler > 0xFFFF) return HAL_ERROR;
  if (t->number() != 2 && t->number() != 5 && in.Period > 0xFFFF) return HAL_ERROR;
  if (htim->State == HAL_TIM_STATE_RESET) {
    htim->Lock = HAL_UNLOCKED;
    if (m.hooks.tim_base_msp_init != nullptr) m.hooks.tim_base_msp_init(htim);
  }
  htim->State = HAL_TIM_STATE_BUSY;
  TIM_TypeDef* tim = htim->Instance;
  tim->CR1 = (tim->CR1 & ~(TIM_CR1_ARPE | 0x370u)) | in.CounterMode | in.ClockDivision | in.AutoReloadPreload;
  tim->ARR = in.Period;
  tim->PSC = in.Prescaler;
  tim->EGR = TIM_EGR_UG;
  htim->State = HAL_TIM_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_Base_Start(TIM_HandleTypeDef* htim) {
  impl().cpu.charge(cost::kHalCall);
  if (htim == nullptr || htim->State != HAL_TIM_STATE_READY) return HAL_ERROR;
  htim->State = HAL_TIM_STATE_BUSY;
  htim->Instance->CR1 = htim->Instance->CR1 | TIM_CR1_CEN;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_Base_Start_IT(TIM_HandleTypeDef* htim) {
  impl().cpu.charge(cost::kHalCall);
  if (htim == nullptr || htim->State != HAL_TIM_STATE_READY) return HAL_ERROR;
  htim->State = HAL_TIM_STATE_BUSY;
  htim->Instance->DIER = htim->Instance->DIER | TIM_DIER_UIE;
  htim->Instance->CR1 = htim->Instance->CR1 | TIM_CR1_CEN;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_ConfigClockSource(TIM_HandleTypeDef* htim, TIM_ClockConfigTypeDef* sClockSourceConfig) {
  impl().cpu.charge(cost::kHalCall);
  if (htim == nullptr || sClockSourceConfig == nullptr) return HAL_ERROR;
  // Only the internal clock is wired on this board.
  return sClockSourceConfig->ClockSource == TIM_CLOCKSOURCE_INTERNAL ? HAL_OK : HAL_ERROR;
}

HAL_StatusTypeDef HAL_TIMEx_MasterConfigSynchronization(TIM_HandleTypeDef* htim,
                                                        TIM_MasterConfigTypeDef* sMasterConfig) {
  impl().cpu.charge(cost::kHalCall);
  if (htim == nullptr || sMasterConfig == nullptr) return HAL_ERROR;
  htim->Instance->CR2 = (htim->Instance->CR2 & ~0x70u) | (sMasterConfig->MasterOutputTrigger & 0x70u);
  htim->Instance->SMCR = (htim->Instance->SMCR & ~0x80u) | (sMasterConfig->MasterSlaveMode & 0x80u);
  return HAL_OK;
}

void HAL_TIM_IRQHandler(TIM_HandleTypeDef* htim) {
  host::MachineImpl& m = impl();
  m.cpu.charge(cost::kHalCall);
  TIM_TypeDef* tim = htim->Instance;
  if ((tim->SR & TIM_SR_UIF) != 0 && (tim->DIER & TIM_DIER_UIE) != 0) {
    tim->SR = ~TIM_SR_UIF;
    if (m.hooks.tim_period_elapsed != nullptr) m.hooks.tim_period_elapsed(htim);
  }
}

// ---------------------------------------------------------------- adc
HAL_StatusTypeDef HAL_ADC_Init(ADC_HandleTypeDef* hadc) { return impl().adc.init(hadc); }
HAL_StatusTypeDef HAL_ADC_ConfigChannel(ADC_HandleTypeDef* hadc, ADC_ChannelConfTypeDef* sConfig) {
  if (sConfig == nullptr) return HAL_ERROR;
  return impl().adc.config_channel(hadc, *sConfig);
}
HAL_StatusTypeDef HAL_ADC_Start(ADC_HandleTypeDef* hadc) { return impl().adc.start(hadc); }
HAL_StatusTypeDef HAL_ADC_PollForConversion(ADC_HandleTypeDef* hadc, uint32_t Timeout) {
  return impl().adc.poll(hadc, Timeout);
}
uint32_t HAL_ADC_GetValue(ADC_HandleTypeDef* hadc) { return impl().adc.value(hadc); }

// ---------------------------------------------------------------- i2c
HAL_StatusTypeDef HAL_I2C_Init(I2C_HandleTypeDef* hi2c) { return impl().i2c1.init(hi2c); }

HAL_StatusTypeDef HAL_I2C_Mem_Write(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint16_t MemAddress,
                                    uint16_t MemAddSize, uint8_t* pData, uint16_t Size, uint32_t Timeout) {
  (void)Timeout;  // only a bus held low by a device would run into it
  return impl().i2c1.mem_write(hi2c, DevAddress, MemAddress, MemAddSize, pData, Size);
}

HAL_StatusTypeDef HAL_I2C_Mem_Read(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint16_t MemAddress,
                                   uint16_t MemAddSize, uint8_t* pData, uint16_t Size, uint32_t Timeout) {
  (void)Timeout;
  return impl().i2c1.mem_read(hi2c, DevAddress, MemAddress, MemAddSize, pData, Size);
}

HAL_StatusTypeDef HAL_I2C_IsDeviceReady(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint32_t Trials,
                                        uint32_t Timeout) {
  (void)Timeout;
  return impl().i2c1.is_device_ready(hi2c, DevAddress, Trials);
}

// ---------------------------------------------------------------- spi, dma
HAL_StatusTypeDef HAL_SPI_Init(SPI_HandleTypeDef* hspi) { return impl().spi1.init(hspi); }
HAL_StatusTypeDef HAL_DMA_Init(DMA_HandleTypeDef* hdma) { return impl().spi1.dma_init(hdma); }
HAL_StatusTypeDef HAL_SPI_Transmit(SPI_HandleTypeDef* hspi, uint8_t* pData, uint16_t Size, uint32_t Timeout) {
  (void)Timeout;
  return impl().spi1.transmit(hspi, pData, Size);
}
HAL_StatusTypeDef HAL_SPI_Transmit_DMA(SPI_HandleTypeDef* hspi, uint8_t* pData, uint16_t Size) {
  return impl().spi1.transmit_dma(hspi, pData, Size);
}
void HAL_DMA_IRQHandler(DMA_HandleTypeDef* hdma) { impl().spi1.dma_irq(hdma); }

}  // extern "C"
