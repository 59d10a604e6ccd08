// STM32F4 HAL: the peripheral operations the firmware calls, with the types
// and constants of ST's HAL. Only the part of the HAL this firmware uses is
// present, under the same names and types, so the vendor's HAL can take its
// place. The chip's platform implements it at register level, the host's
// over the simulated chip; each brings its own device header (stm32f4xx.h).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "stm32f4xx.h"

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------- common
typedef enum { HAL_OK = 0x00U, HAL_ERROR = 0x01U, HAL_BUSY = 0x02U, HAL_TIMEOUT = 0x03U } HAL_StatusTypeDef;
typedef enum { HAL_UNLOCKED = 0x00U, HAL_LOCKED = 0x01U } HAL_LockTypeDef;
typedef enum { DISABLE = 0U, ENABLE = !DISABLE } FunctionalState;
typedef enum { RESET = 0U, SET = !RESET } FlagStatus, ITStatus;

#define HAL_MAX_DELAY 0xFFFFFFFFU
#define TICK_INT_PRIORITY 15U
#define UNUSED(X) (void)(X)

HAL_StatusTypeDef HAL_Init(void);
void HAL_MspInit(void);
HAL_StatusTypeDef HAL_InitTick(uint32_t TickPriority);
void HAL_IncTick(void);
uint32_t HAL_GetTick(void);
void HAL_Delay(uint32_t Delay);
extern uint32_t uwTickPrio;

// ---------------------------------------------------------------- cortex
#define NVIC_PRIORITYGROUP_4 0x00000003U
void HAL_NVIC_SetPriorityGrouping(uint32_t PriorityGroup);
void HAL_NVIC_SetPriority(IRQn_Type IRQn, uint32_t PreemptPriority, uint32_t SubPriority);
void HAL_NVIC_EnableIRQ(IRQn_Type IRQn);
void HAL_NVIC_DisableIRQ(IRQn_Type IRQn);

// ---------------------------------------------------------------- rcc
#define RCC_OSCILLATORTYPE_NONE 0x00000000U
#define RCC_OSCILLATORTYPE_HSE 0x00000001U
#define RCC_OSCILLATORTYPE_HSI 0x00000002U
#define RCC_OSCILLATORTYPE_LSE 0x00000004U
#define RCC_OSCILLATORTYPE_LSI 0x00000008U
#define RCC_HSE_OFF 0x00000000U
#define RCC_HSE_ON 0x00010000U
#define RCC_HSI_OFF 0x00000000U
#define RCC_HSI_ON 0x00000001U
#define RCC_HSICALIBRATION_DEFAULT 0x10U
#define RCC_PLL_NONE 0x00000000U
#define RCC_PLL_OFF 0x00000001U
#define RCC_PLL_ON 0x00000002U
#define RCC_PLLSOURCE_HSI 0x00000000U
#define RCC_PLLSOURCE_HSE 0x00400000U
#define RCC_PLLP_DIV2 0x00000002U
#define RCC_PLLP_DIV4 0x00000004U
#define RCC_PLLP_DIV6 0x00000006U
#define RCC_PLLP_DIV8 0x00000008U
#define RCC_CLOCKTYPE_SYSCLK 0x00000001U
#define RCC_CLOCKTYPE_HCLK 0x00000002U
#define RCC_CLOCKTYPE_PCLK1 0x00000004U
#define RCC_CLOCKTYPE_PCLK2 0x00000008U
#define RCC_SYSCLKSOURCE_HSI 0x00000000U
#define RCC_SYSCLKSOURCE_HSE 0x00000001U
#define RCC_SYSCLKSOURCE_PLLCLK 0x00000002U
#define RCC_SYSCLK_DIV1 0x00000000U
#define RCC_SYSCLK_DIV2 0x00000080U
#define RCC_SYSCLK_DIV4 0x00000090U
#define RCC_SYSCLK_DIV8 0x000000A0U
#define RCC_SYSCLK_DIV16 0x000000B0U
#define RCC_HCLK_DIV1 0x00000000U
#define RCC_HCLK_DIV2 0x00001000U
#define RCC_HCLK_DIV4 0x00001400U
#define RCC_HCLK_DIV8 0x00001800U
#define RCC_HCLK_DIV16 0x00001C00U
#define FLASH_LATENCY_0 0U
#define FLASH_LATENCY_1 1U
#define FLASH_LATENCY_2 2U
#define FLASH_LATENCY_3 3U
#define FLASH_LATENCY_4 4U
#define FLASH_LATENCY_5 5U
#define PWR_REGULATOR_VOLTAGE_SCALE1 0x0000C000U
#define PWR_REGULATOR_VOLTAGE_SCALE2 0x00008000U
#define PWR_REGULATOR_VOLTAGE_SCALE3 0x00004000U

typedef struct {
  uint32_t PLLState;
  uint32_t PLLSource;
  uint32_t PLLM;
  uint32_t PLLN;
  uint32_t PLLP;
  uint32_t PLLQ;
} RCC_PLLInitTypeDef;

typedef struct {
  uint32_t OscillatorType;
  uint32_t HSEState;
  uint32_t LSEState;
  uint32_t HSIState;
  uint32_t HSICalibrationValue;
  uint32_t LSIState;
  RCC_PLLInitTypeDef PLL;
} RCC_OscInitTypeDef;

typedef struct {
  uint32_t ClockType;
  uint32_t SYSCLKSource;
  uint32_t AHBCLKDivider;
  uint32_t APB1CLKDivider;
  uint32_t APB2CLKDivider;
} RCC_ClkInitTypeDef;

HAL_StatusTypeDef HAL_RCC_OscConfig(RCC_OscInitTypeDef* RCC_OscInitStruct);
HAL_StatusTypeDef HAL_RCC_ClockConfig(RCC_ClkInitTypeDef* RCC_ClkInitStruct, uint32_t FLatency);
void HAL_RCC_GetClockConfig(RCC_ClkInitTypeDef* RCC_ClkInitStruct, uint32_t* pFLatency);
uint32_t HAL_RCC_GetSysClockFreq(void);
uint32_t HAL_RCC_GetHCLKFreq(void);
uint32_t HAL_RCC_GetPCLK1Freq(void);
uint32_t HAL_RCC_GetPCLK2Freq(void);

// A clock enable is read back, so the peripheral is clocked before the
// next access to it.
#define KP_RCC_ENABLE_(REG, BIT)    \
  do {                             \
    SET_BIT(RCC->REG, BIT);        \
    (void)READ_BIT(RCC->REG, BIT); \
  } while (0)
#define __HAL_RCC_GPIOA_CLK_ENABLE() KP_RCC_ENABLE_(AHB1ENR, RCC_AHB1ENR_GPIOAEN)
#define __HAL_RCC_GPIOB_CLK_ENABLE() KP_RCC_ENABLE_(AHB1ENR, RCC_AHB1ENR_GPIOBEN)
#define __HAL_RCC_GPIOC_CLK_ENABLE() KP_RCC_ENABLE_(AHB1ENR, RCC_AHB1ENR_GPIOCEN)
#define __HAL_RCC_GPIOD_CLK_ENABLE() KP_RCC_ENABLE_(AHB1ENR, RCC_AHB1ENR_GPIODEN)
#define __HAL_RCC_GPIOE_CLK_ENABLE() KP_RCC_ENABLE_(AHB1ENR, RCC_AHB1ENR_GPIOEEN)
#define __HAL_RCC_GPIOH_CLK_ENABLE() KP_RCC_ENABLE_(AHB1ENR, RCC_AHB1ENR_GPIOHEN)
#define __HAL_RCC_DMA2_CLK_ENABLE() KP_RCC_ENABLE_(AHB1ENR, RCC_AHB1ENR_DMA2EN)
#define __HAL_RCC_TIM1_CLK_ENABLE() KP_RCC_ENABLE_(APB2ENR, RCC_APB2ENR_TIM1EN)
#define __HAL_RCC_TIM2_CLK_ENABLE() KP_RCC_ENABLE_(APB1ENR, RCC_APB1ENR_TIM2EN)
#define __HAL_RCC_TIM3_CLK_ENABLE() KP_RCC_ENABLE_(APB1ENR, RCC_APB1ENR_TIM3EN)
#define __HAL_RCC_TIM4_CLK_ENABLE() KP_RCC_ENABLE_(APB1ENR, RCC_APB1ENR_TIM4EN)
#define __HAL_RCC_TIM5_CLK_ENABLE() KP_RCC_ENABLE_(APB1ENR, RCC_APB1ENR_TIM5EN)
#define __HAL_RCC_I2C1_CLK_ENABLE() KP_RCC_ENABLE_(APB1ENR, RCC_APB1ENR_I2C1EN)
#define __HAL_RCC_PWR_CLK_ENABLE() KP_RCC_ENABLE_(APB1ENR, RCC_APB1ENR_PWREN)
#define __HAL_RCC_ADC1_CLK_ENABLE() KP_RCC_ENABLE_(APB2ENR, RCC_APB2ENR_ADC1EN)
#define __HAL_RCC_SPI1_CLK_ENABLE() KP_RCC_ENABLE_(APB2ENR, RCC_APB2ENR_SPI1EN)
#define __HAL_RCC_SYSCFG_CLK_ENABLE() KP_RCC_ENABLE_(APB2ENR, RCC_APB2ENR_SYSCFGEN)
#define __HAL_PWR_VOLTAGESCALING_CONFIG(SCALE) \
  do {                                         \
    PWR->CR = (PWR->CR & ~PWR_CR_VOS_Msk) | (SCALE); \
    (void)(uint32_t)PWR->CR;                   \
  } while (0)

// ---------------------------------------------------------------- gpio
typedef enum { GPIO_PIN_RESET = 0, GPIO_PIN_SET } GPIO_PinState;

typedef struct {
  uint32_t Pin;
  uint32_t Mode;
  uint32_t Pull;
  uint32_t Speed;
  uint32_t Alternate;
} GPIO_InitTypeDef;

#define GPIO_PIN_0 ((uint16_t)0x0001)
#define GPIO_PIN_1 ((uint16_t)0x0002)
#define GPIO_PIN_2 ((uint16_t)0x0004)
#define GPIO_PIN_3 ((uint16_t)0x0008)
#define GPIO_PIN_4 ((uint16_t)0x0010)
#define GPIO_PIN_5 ((uint16_t)0x0020)
#define GPIO_PIN_6 ((uint16_t)0x0040)
#define GPIO_PIN_7 ((uint16_t)0x0080)
#define GPIO_PIN_8 ((uint16_t)0x0100)
#define GPIO_PIN_9 ((uint16_t)0x0200)
#define GPIO_PIN_10 ((uint16_t)0x0400)
#define GPIO_PIN_11 ((uint16_t)0x0800)
#define GPIO_PIN_12 ((uint16_t)0x1000)
#define GPIO_PIN_13 ((uint16_t)0x2000)
#define GPIO_PIN_14 ((uint16_t)0x4000)
#define GPIO_PIN_15 ((uint16_t)0x8000)
#define GPIO_PIN_All ((uint16_t)0xFFFF)

#define GPIO_MODE_INPUT 0x00000000U
#define GPIO_MODE_OUTPUT_PP 0x00000001U
#define GPIO_MODE_OUTPUT_OD 0x00000011U
#define GPIO_MODE_AF_PP 0x00000002U
#define GPIO_MODE_AF_OD 0x00000012U
#define GPIO_MODE_ANALOG 0x00000003U
#define GPIO_MODE_IT_RISING 0x10110000U
#define GPIO_MODE_IT_FALLING 0x10210000U
#define GPIO_MODE_IT_RISING_FALLING 0x10310000U
#define GPIO_MODE_EVT_RISING 0x10120000U
#define GPIO_MODE_EVT_FALLING 0x10220000U
#define GPIO_MODE_EVT_RISING_FALLING 0x10320000U
#define GPIO_NOPULL 0x00000000U
#define GPIO_PULLUP 0x00000001U
#define GPIO_PULLDOWN 0x00000002U
#define GPIO_SPEED_FREQ_LOW 0x00000000U
#define GPIO_SPEED_FREQ_MEDIUM 0x00000001U
#define GPIO_SPEED_FREQ_HIGH 0x00000002U
#define GPIO_SPEED_FREQ_VERY_HIGH 0x00000003U
#define GPIO_AF4_I2C1 ((uint8_t)0x04)
#define GPIO_AF5_SPI1 ((uint8_t)0x05)

void HAL_GPIO_Init(GPIO_TypeDef* GPIOx, GPIO_InitTypeDef* GPIO_Init);
GPIO_PinState HAL_GPIO_ReadPin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin);
void HAL_GPIO_WritePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin, GPIO_PinState PinState);
void HAL_GPIO_TogglePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin);
void HAL_GPIO_EXTI_IRQHandler(uint16_t GPIO_Pin);
void HAL_GPIO_EXTI_Callback(uint16_t GPIO_Pin);

// ---------------------------------------------------------------- dma
typedef enum {
  HAL_DMA_STATE_RESET = 0x00U,
  HAL_DMA_STATE_READY = 0x01U,
  HAL_DMA_STATE_BUSY = 0x02U,
  HAL_DMA_STATE_TIMEOUT = 0x03U,
  HAL_DMA_STATE_ERROR = 0x04U,
  HAL_DMA_STATE_ABORT = 0x05U,
} HAL_DMA_StateTypeDef;

typedef struct {
  uint32_t Channel;
  uint32_t Direction;
  uint32_t PeriphInc;
  uint32_t MemInc;
  uint32_t PeriphDataAlignment;
  uint32_t MemDataAlignment;
  uint32_t Mode;
  uint32_t Priority;
  uint32_t FIFOMode;
  uint32_t FIFOThreshold;
  uint32_t MemBurst;
  uint32_t PeriphBurst;
} DMA_InitTypeDef;

typedef struct __DMA_HandleTypeDef {
  DMA_Stream_TypeDef* Instance;
  DMA_InitTypeDef Init;
  HAL_LockTypeDef Lock;
  volatile HAL_DMA_StateTypeDef State;
  void* Parent;
  void (*XferCpltCallback)(struct __DMA_HandleTypeDef* hdma);
  void (*XferHalfCpltCallback)(struct __DMA_HandleTypeDef* hdma);
  void (*XferM1CpltCallback)(struct __DMA_HandleTypeDef* hdma);
  void (*XferM1HalfCpltCallback)(struct __DMA_HandleTypeDef* hdma);
  void (*XferErrorCallback)(struct __DMA_HandleTypeDef* hdma);
  void (*XferAbortCallback)(struct __DMA_HandleTypeDef* hdma);
  volatile uint32_t ErrorCode;
  uint32_t StreamBaseAddress;
  uint32_t StreamIndex;
} DMA_HandleTypeDef;

#define DMA_CHANNEL_0 0x00000000U
#define DMA_CHANNEL_3 0x06000000U
#define DMA_PERIPH_TO_MEMORY 0x00000000U
#define DMA_MEMORY_TO_PERIPH 0x00000040U
#define DMA_MEMORY_TO_MEMORY 0x00000080U
#define DMA_PINC_ENABLE 0x00000200U
#define DMA_PINC_DISABLE 0x00000000U
#define DMA_MINC_ENABLE 0x00000400U
#define DMA_MINC_DISABLE 0x00000000U
#define DMA_PDATAALIGN_BYTE 0x00000000U
#define DMA_MDATAALIGN_BYTE 0x00000000U
#define DMA_NORMAL 0x00000000U
#define DMA_CIRCULAR 0x00000100U
#define DMA_PRIORITY_LOW 0x00000000U
#define DMA_PRIORITY_MEDIUM 0x00010000U
#define DMA_PRIORITY_HIGH 0x00020000U
#define DMA_FIFOMODE_DISABLE 0x00000000U
#define DMA_FIFOMODE_ENABLE 0x00000004U

HAL_StatusTypeDef HAL_DMA_Init(DMA_HandleTypeDef* hdma);
void HAL_DMA_IRQHandler(DMA_HandleTypeDef* hdma);

#define __HAL_LINKDMA(__HANDLE__, __PPP_DMA_FIELD__, __DMA_HANDLE__) \
  do {                                                               \
    (__HANDLE__)->__PPP_DMA_FIELD__ = &(__DMA_HANDLE__);             \
    (__DMA_HANDLE__).Parent = (__HANDLE__);                          \
  } while (0)

// ---------------------------------------------------------------- tim
typedef struct {
  uint32_t Prescaler;
  uint32_t CounterMode;
  uint32_t Period;
  uint32_t ClockDivision;
  uint32_t RepetitionCounter;
  uint32_t AutoReloadPreload;
} TIM_Base_InitTypeDef;

typedef struct {
  uint32_t ClockSource;
  uint32_t ClockPolarity;
  uint32_t ClockPrescaler;
  uint32_t ClockFilter;
} TIM_ClockConfigTypeDef;

typedef struct {
  uint32_t MasterOutputTrigger;
  uint32_t MasterSlaveMode;
} TIM_MasterConfigTypeDef;

typedef enum {
  HAL_TIM_STATE_RESET = 0x00U,
  HAL_TIM_STATE_READY = 0x01U,
  HAL_TIM_STATE_BUSY = 0x02U,
  HAL_TIM_STATE_TIMEOUT = 0x03U,
  HAL_TIM_STATE_ERROR = 0x04U,
} HAL_TIM_StateTypeDef;

typedef enum { HAL_TIM_ACTIVE_CHANNEL_CLEARED = 0x00U } HAL_TIM_ActiveChannel;

typedef struct {
  TIM_TypeDef* Instance;
  TIM_Base_InitTypeDef Init;
  HAL_TIM_ActiveChannel Channel;
  DMA_HandleTypeDef* hdma[7];
  HAL_LockTypeDef Lock;
  volatile HAL_TIM_StateTypeDef State;
} TIM_HandleTypeDef;

#define TIM_COUNTERMODE_UP 0x00000000U
#define TIM_COUNTERMODE_DOWN 0x00000010U
#define TIM_CLOCKDIVISION_DIV1 0x00000000U
#define TIM_CLOCKDIVISION_DIV2 0x00000100U
#define TIM_CLOCKDIVISION_DIV4 0x00000200U
#define TIM_AUTORELOAD_PRELOAD_DISABLE 0x00000000U
#define TIM_AUTORELOAD_PRELOAD_ENABLE 0x00000080U
#define TIM_CLOCKSOURCE_INTERNAL 0x00001000U
#define TIM_TRGO_RESET 0x00000000U
#define TIM_TRGO_UPDATE 0x00000020U
#define TIM_MASTERSLAVEMODE_DISABLE 0x00000000U
#define TIM_MASTERSLAVEMODE_ENABLE 0x00000080U

HAL_StatusTypeDef HAL_TIM_Base_Init(TIM_HandleTypeDef* htim);
void HAL_TIM_Base_MspInit(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_Base_Start(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_Base_Start_IT(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_ConfigClockSource(TIM_HandleTypeDef* htim, TIM_ClockConfigTypeDef* sClockSourceConfig);
HAL_StatusTypeDef HAL_TIMEx_MasterConfigSynchronization(TIM_HandleTypeDef* htim, TIM_MasterConfigTypeDef* sMasterConfig);
void HAL_TIM_IRQHandler(TIM_HandleTypeDef* htim);
void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef* htim);

#define __HAL_TIM_SET_AUTORELOAD(__HANDLE__, __AUTORELOAD__) \
  do {                                                       \
    (__HANDLE__)->Instance->ARR = (__AUTORELOAD__);          \
    (__HANDLE__)->Init.Period = (__AUTORELOAD__);            \
  } while (0)
#define __HAL_TIM_GET_COUNTER(__HANDLE__) ((uint32_t)((__HANDLE__)->Instance->CNT))

// ---------------------------------------------------------------- adc
typedef struct {
  uint32_t ClockPrescaler;
  uint32_t Resolution;
  uint32_t DataAlign;
  uint32_t ScanConvMode;
  uint32_t EOCSelection;
  FunctionalState ContinuousConvMode;
  uint32_t NbrOfConversion;
  FunctionalState DiscontinuousConvMode;
  uint32_t NbrOfDiscConversion;
  uint32_t ExternalTrigConv;
  uint32_t ExternalTrigConvEdge;
  FunctionalState DMAContinuousRequests;
} ADC_InitTypeDef;

typedef struct {
  uint32_t Channel;
  uint32_t Rank;
  uint32_t SamplingTime;
  uint32_t Offset;
} ADC_ChannelConfTypeDef;

typedef struct {
  ADC_TypeDef* Instance;
  ADC_InitTypeDef Init;
  volatile uint32_t NbrOfCurrentConversionRank;
  DMA_HandleTypeDef* DMA_Handle;
  HAL_LockTypeDef Lock;
  volatile uint32_t State;
  volatile uint32_t ErrorCode;
} ADC_HandleTypeDef;

#define HAL_ADC_STATE_RESET 0x00000000U
#define HAL_ADC_STATE_READY 0x00000001U
#define HAL_ADC_STATE_REG_BUSY 0x00000100U
#define HAL_ADC_STATE_REG_EOC 0x00000200U
#define ADC_CLOCK_SYNC_PCLK_DIV2 0x00000000U
#define ADC_CLOCK_SYNC_PCLK_DIV4 0x00010000U
#define ADC_CLOCK_SYNC_PCLK_DIV6 0x00020000U
#define ADC_CLOCK_SYNC_PCLK_DIV8 0x00030000U
#define ADC_RESOLUTION_12B 0x00000000U
#define ADC_RESOLUTION_10B 0x01000000U
#define ADC_RESOLUTION_8B 0x02000000U
#define ADC_RESOLUTION_6B 0x03000000U
#define ADC_DATAALIGN_RIGHT 0x00000000U
#define ADC_DATAALIGN_LEFT 0x00000800U
#define ADC_SOFTWARE_START 0x0F000001U
#define ADC_EXTERNALTRIGCONVEDGE_NONE 0x00000000U
#define ADC_EOC_SEQ_CONV 0x00000000U
#define ADC_EOC_SINGLE_CONV 0x00000001U
#define ADC_CHANNEL_0 0U
#define ADC_CHANNEL_1 1U
#define ADC_CHANNEL_2 2U
#define ADC_CHANNEL_3 3U
#define ADC_CHANNEL_4 4U
#define ADC_CHANNEL_5 5U
#define ADC_CHANNEL_6 6U
#define ADC_CHANNEL_7 7U
#define ADC_CHANNEL_8 8U
#define ADC_CHANNEL_9 9U
#define ADC_SAMPLETIME_3CYCLES 0U
#define ADC_SAMPLETIME_15CYCLES 1U
#define ADC_SAMPLETIME_28CYCLES 2U
#define ADC_SAMPLETIME_56CYCLES 3U
#define ADC_SAMPLETIME_84CYCLES 4U
#define ADC_SAMPLETIME_112CYCLES 5U
#define ADC_SAMPLETIME_144CYCLES 6U
#define ADC_SAMPLETIME_480CYCLES 7U

HAL_StatusTypeDef HAL_ADC_Init(ADC_HandleTypeDef* hadc);
void HAL_ADC_MspInit(ADC_HandleTypeDef* hadc);
HAL_StatusTypeDef HAL_ADC_ConfigChannel(ADC_HandleTypeDef* hadc, ADC_ChannelConfTypeDef* sConfig);
HAL_StatusTypeDef HAL_ADC_Start(ADC_HandleTypeDef* hadc);
HAL_StatusTypeDef HAL_ADC_PollForConversion(ADC_HandleTypeDef* hadc, uint32_t Timeout);
uint32_t HAL_ADC_GetValue(ADC_HandleTypeDef* hadc);

// ---------------------------------------------------------------- i2c
typedef struct {
  uint32_t ClockSpeed;
  uint32_t DutyCycle;
  uint32_t OwnAddress1;
  uint32_t AddressingMode;
  uint32_t DualAddressMode;
  uint32_t OwnAddress2;
  uint32_t GeneralCallMode;
  uint32_t NoStretchMode;
} I2C_InitTypeDef;

typedef enum {
  HAL_I2C_STATE_RESET = 0x00U,
  HAL_I2C_STATE_READY = 0x20U,
  HAL_I2C_STATE_BUSY = 0x24U,
  HAL_I2C_STATE_BUSY_TX = 0x21U,
  HAL_I2C_STATE_BUSY_RX = 0x22U,
  HAL_I2C_STATE_TIMEOUT = 0xA0U,
  HAL_I2C_STATE_ERROR = 0xE0U,
} HAL_I2C_StateTypeDef;

typedef enum { HAL_I2C_MODE_NONE = 0x00U, HAL_I2C_MODE_MASTER = 0x10U, HAL_I2C_MODE_MEM = 0x40U } HAL_I2C_ModeTypeDef;

typedef struct {
  I2C_TypeDef* Instance;
  I2C_InitTypeDef Init;
  uint8_t* pBuffPtr;
  uint16_t XferSize;
  volatile uint16_t XferCount;
  volatile uint32_t XferOptions;
  volatile uint32_t PreviousState;
  DMA_HandleTypeDef* hdmatx;
  DMA_HandleTypeDef* hdmarx;
  HAL_LockTypeDef Lock;
  volatile HAL_I2C_StateTypeDef State;
  volatile HAL_I2C_ModeTypeDef Mode;
  volatile uint32_t ErrorCode;
  volatile uint32_t Devaddress;
  volatile uint32_t Memaddress;
  volatile uint32_t MemaddSize;
  volatile uint32_t EventCount;
} I2C_HandleTypeDef;

#define I2C_DUTYCYCLE_2 0x00000000U
#define I2C_DUTYCYCLE_16_9 0x00004000U
#define I2C_ADDRESSINGMODE_7BIT 0x00004000U
#define I2C_ADDRESSINGMODE_10BIT 0x0000C000U
#define I2C_DUALADDRESS_DISABLE 0x00000000U
#define I2C_DUALADDRESS_ENABLE 0x00000001U
#define I2C_GENERALCALL_DISABLE 0x00000000U
#define I2C_GENERALCALL_ENABLE 0x00000040U
#define I2C_NOSTRETCH_DISABLE 0x00000000U
#define I2C_NOSTRETCH_ENABLE 0x00000080U
#define I2C_MEMADD_SIZE_8BIT 0x00000001U
#define I2C_MEMADD_SIZE_16BIT 0x00000010U
#define HAL_I2C_ERROR_NONE 0x00000000U
#define HAL_I2C_ERROR_AF 0x00000004U
#define HAL_I2C_ERROR_TIMEOUT 0x00000020U

HAL_StatusTypeDef HAL_I2C_Init(I2C_HandleTypeDef* hi2c);
void HAL_I2C_MspInit(I2C_HandleTypeDef* hi2c);
HAL_StatusTypeDef HAL_I2C_Mem_Write(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint16_t MemAddress,
                                    uint16_t MemAddSize, uint8_t* pData, uint16_t Size, uint32_t Timeout);
HAL_StatusTypeDef HAL_I2C_Mem_Read(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint16_t MemAddress,
                                   uint16_t MemAddSize, uint8_t* pData, uint16_t Size, uint32_t Timeout);
HAL_StatusTypeDef HAL_I2C_IsDeviceReady(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint32_t Trials,
                                        uint32_t Timeout);

// ---------------------------------------------------------------- spi
typedef struct {
  uint32_t Mode;
  uint32_t Direction;
  uint32_t DataSize;
  uint32_t CLKPolarity;
  uint32_t CLKPhase;
  uint32_t NSS;
  uint32_t BaudRatePrescaler;
  uint32_t FirstBit;
  uint32_t TIMode;
  uint32_t CRCCalculation;
  uint32_t CRCPolynomial;
} SPI_InitTypeDef;

typedef enum {
  HAL_SPI_STATE_RESET = 0x00U,
  HAL_SPI_STATE_READY = 0x01U,
  HAL_SPI_STATE_BUSY = 0x02U,
  HAL_SPI_STATE_BUSY_TX = 0x03U,
  HAL_SPI_STATE_BUSY_RX = 0x04U,
  HAL_SPI_STATE_BUSY_TX_RX = 0x05U,
  HAL_SPI_STATE_ERROR = 0x06U,
  HAL_SPI_STATE_ABORT = 0x07U,
} HAL_SPI_StateTypeDef;

typedef struct __SPI_HandleTypeDef {
  SPI_TypeDef* Instance;
  SPI_InitTypeDef Init;
  uint8_t* pTxBuffPtr;
  uint16_t TxXferSize;
  volatile uint16_t TxXferCount;
  uint8_t* pRxBuffPtr;
  uint16_t RxXferSize;
  volatile uint16_t RxXferCount;
  void (*RxISR)(struct __SPI_HandleTypeDef* hspi);
  void (*TxISR)(struct __SPI_HandleTypeDef* hspi);
  DMA_HandleTypeDef* hdmatx;
  DMA_HandleTypeDef* hdmarx;
  HAL_LockTypeDef Lock;
  volatile HAL_SPI_StateTypeDef State;
  volatile uint32_t ErrorCode;
} SPI_HandleTypeDef;

#define SPI_MODE_SLAVE 0x00000000U
#define SPI_MODE_MASTER 0x00000104U
#define SPI_DIRECTION_2LINES 0x00000000U
#define SPI_DIRECTION_2LINES_RXONLY 0x00000400U
#define SPI_DIRECTION_1LINE 0x00008000U
#define SPI_DATASIZE_8BIT 0x00000000U
#define SPI_DATASIZE_16BIT 0x00000800U
#define SPI_POLARITY_LOW 0x00000000U
#define SPI_POLARITY_HIGH 0x00000002U
#define SPI_PHASE_1EDGE 0x00000000U
#define SPI_PHASE_2EDGE 0x00000001U
#define SPI_NSS_SOFT 0x00000200U
#define SPI_NSS_HARD_INPUT 0x00000000U
#define SPI_NSS_HARD_OUTPUT 0x00040000U
#define SPI_BAUDRATEPRESCALER_2 0x00000000U
#define SPI_BAUDRATEPRESCALER_4 0x00000008U
#define SPI_BAUDRATEPRESCALER_8 0x00000010U
#define SPI_BAUDRATEPRESCALER_16 0x00000018U
#define SPI_BAUDRATEPRESCALER_32 0x00000020U
#define SPI_BAUDRATEPRESCALER_64 0x00000028U
#define SPI_BAUDRATEPRESCALER_128 0x00000030U
#define SPI_BAUDRATEPRESCALER_256 0x00000038U
#define SPI_FIRSTBIT_MSB 0x00000000U
#define SPI_FIRSTBIT_LSB 0x00000080U
#define SPI_TIMODE_DISABLE 0x00000000U
#define SPI_CRCCALCULATION_DISABLE 0x00000000U
#define HAL_SPI_ERROR_NONE 0x00000000U
#define HAL_SPI_ERROR_DMA 0x00000010U

HAL_StatusTypeDef HAL_SPI_Init(SPI_HandleTypeDef* hspi);
void HAL_SPI_MspInit(SPI_HandleTypeDef* hspi);
HAL_StatusTypeDef HAL_SPI_Transmit(SPI_HandleTypeDef* hspi, uint8_t* pData, uint16_t Size, uint32_t Timeout);
HAL_StatusTypeDef HAL_SPI_Transmit_DMA(SPI_HandleTypeDef* hspi, uint8_t* pData, uint16_t Size);
void HAL_SPI_TxCpltCallback(SPI_HandleTypeDef* hspi);
void HAL_SPI_ErrorCallback(SPI_HandleTypeDef* hspi);

#ifdef __cplusplus
}
#endif
