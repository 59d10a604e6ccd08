// Driver of a 24C08-class I2C EEPROM: byte ranges in and out, writes split at
// the 16-byte pages with the chip's write cycle waited out after each.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "ee24Config.h"
#include "stm32f4xx_hal.h"

#define _EEPROM_ADDRESS 0xA0  // device address of block 0, write form
#define _EEPROM_PSIZE 16      // write page of the 8-kbit part
#define ee24_delay(x) HAL_Delay(x)

// 1 while a driver call runs; a call that finds it set is refused.
extern uint8_t ee24_lock;

// Writes len bytes from data at address; false when busy, when a transfer
// fails, or when timeout (ms) ran out between two pages.
bool ee24_write(uint16_t address, uint8_t* data, size_t len, uint32_t timeout);
// Reads len bytes at address into data (left as it was on failure); false
// when busy or when the transfer fails. timeout is not used.
bool ee24_read(uint16_t address, uint8_t* data, size_t len, uint32_t timeout);
