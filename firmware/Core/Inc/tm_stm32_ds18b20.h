// DS18B20 temperature sensors on the 1-Wire bus: start a conversion on all,
// see whether they are done, read one out with its checksum.
#pragma once

#include <stdint.h>

#include "tm_stm32_onewire.h"

#define DS18B20_FAMILY_CODE 0x28
#define DS18B20_CMD_ALARMSEARCH 0xEC
#define DS18B20_CMD_CONVERTTEMP 0x44

#define DS18B20_DECIMAL_STEPS_12BIT 0.0625
#define DS18B20_DECIMAL_STEPS_11BIT 0.125
#define DS18B20_DECIMAL_STEPS_10BIT 0.25
#define DS18B20_DECIMAL_STEPS_9BIT 0.5

#define DS18B20_RESOLUTION_R1 6  // bit positions of the resolution in the configuration byte
#define DS18B20_RESOLUTION_R0 5

typedef enum {
  TM_DS18B20_Resolution_9bits = 9,
  TM_DS18B20_Resolution_10bits = 10,
  TM_DS18B20_Resolution_11bits = 11,
  TM_DS18B20_Resolution_12bits = 12,
} TM_DS18B20_Resolution_t;

// 1 when the ROM code is a DS18B20's.
uint8_t TM_DS18B20_Is(uint8_t* ROM);
// Every sensor on the bus starts a conversion.
void TM_DS18B20_StartAll(TM_OneWire_t* OneWire);
// 1 when the conversions have finished (one read slot).
uint8_t TM_DS18B20_AllDone(TM_OneWire_t* OneWire);
// 1 and the temperature in degrees Celsius, or 0 and destination untouched.
uint8_t TM_DS18B20_Read(TM_OneWire_t* OneWire, uint8_t* ROM, float* destination);
// Degrees Celsius from the scratchpad's temperature word and configuration
// register (its resolution bits).
float TM_DS18B20_Convert(uint16_t raw, uint8_t config);
