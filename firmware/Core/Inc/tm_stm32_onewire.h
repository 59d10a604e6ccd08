// 1-Wire master, bit-banged on one GPIO pin with busy-wait timing on the
// processor's cycle counter: reset and presence, bit and byte slots, the ROM
// search and the Dallas/Maxim CRC-8.
#pragma once

#include <stdint.h>

#include "stm32f4xx_hal.h"
#include "tm_stm32_gpio.h"

#define ONEWIRE_CMD_RSCRATCHPAD 0xBE
#define ONEWIRE_CMD_WSCRATCHPAD 0x4E
#define ONEWIRE_CMD_CPYSCRATCHPAD 0x48
#define ONEWIRE_CMD_RECEEPROM 0xB8
#define ONEWIRE_CMD_RPWRSUPPLY 0xB4
#define ONEWIRE_CMD_SEARCHROM 0xF0
#define ONEWIRE_CMD_READROM 0x33
#define ONEWIRE_CMD_MATCHROM 0x55
#define ONEWIRE_CMD_SKIPROM 0xCC

typedef struct {
  GPIO_TypeDef* GPIOx;            // port of the data pin
  uint16_t GPIO_Pin;              // its mask
  uint8_t LastDiscrepancy;        // search: bit position of the last 0-branch taken at a conflict
  uint8_t LastFamilyDiscrepancy;  // the same within the family code
  uint8_t LastDeviceFlag;         // 1 when the last search found the last device
  uint8_t ROM_NO[8];              // code found by the last search
} TM_OneWire_t;

// Busy-waits the given number of microseconds.
void Delay(uint32_t micros);

void TM_OneWire_Init(TM_OneWire_t* OneWireStruct, GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin);
// 0 when a device answered with a presence pulse, 1 when none did.
uint8_t TM_OneWire_Reset(TM_OneWire_t* OneWireStruct);
void TM_OneWire_WriteBit(TM_OneWire_t* OneWireStruct, uint8_t bit);
uint8_t TM_OneWire_ReadBit(TM_OneWire_t* OneWireStruct);
void TM_OneWire_WriteByte(TM_OneWire_t* OneWireStruct, uint8_t byte);
uint8_t TM_OneWire_ReadByte(TM_OneWire_t* OneWireStruct);
void TM_OneWire_ResetSearch(TM_OneWire_t* OneWireStruct);
uint8_t TM_OneWire_Search(TM_OneWire_t* OneWireStruct, uint8_t command);
uint8_t TM_OneWire_First(TM_OneWire_t* OneWireStruct);
void TM_OneWire_SelectWithPointer(TM_OneWire_t* OneWireStruct, uint8_t* ROM);
void TM_OneWire_GetFullROM(TM_OneWire_t* OneWireStruct, uint8_t* firstIndex);
uint8_t TM_OneWire_CRC8(uint8_t* addr, uint8_t len);
