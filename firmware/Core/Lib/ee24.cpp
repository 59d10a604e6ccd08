#include "ee24.h"

#include "board_setup.h"

uint8_t ee24_lock = 0;

// The 8-kbit part answers on four device addresses, one per 256-byte block:
// address bits 9..8 go to device-address bits 2..1.
static uint16_t device_address(uint16_t address) { return (uint16_t)(_EEPROM_ADDRESS | ((address >> 7) & 0x06)); }

bool ee24_write(uint16_t address, uint8_t* data, size_t len, uint32_t timeout) {
  if (ee24_lock == 1) {
    return false;
  }
  ee24_lock = 1;
  const uint32_t startTime = HAL_GetTick();
  while (1) {
    // To the end of the current page, or the rest.
    size_t w = _EEPROM_PSIZE - (address % _EEPROM_PSIZE);
    if (len < w) {
      w = len;
    }
    if (HAL_I2C_Mem_Write(&EEPROM_I2C, device_address(address), (uint16_t)(address & 0xFF), I2C_MEMADD_SIZE_8BIT, data,
                          (uint16_t)w, 100) != HAL_OK) {
      ee24_lock = 0;
      return false;
    }
    ee24_delay(10);  // the chip's internal write cycle, not polled
    len -= w;
    data += w;
    address = (uint16_t)(address + w);
    if (len == 0) {
      ee24_lock = 0;
      return true;
    }
    if (HAL_GetTick() - startTime >= timeout) {
      ee24_lock = 0;
      return false;
    }
  }
}

bool ee24_read(uint16_t address, uint8_t* data, size_t len, uint32_t timeout) {
  (void)timeout;
  if (ee24_lock == 1) {
    return false;
  }
  ee24_lock = 1;
  const bool ok = HAL_I2C_Mem_Read(&EEPROM_I2C, device_address(address), (uint16_t)(address & 0xFF),
                                   I2C_MEMADD_SIZE_8BIT, data, (uint16_t)len, 100) == HAL_OK;
  ee24_lock = 0;
  return ok;
}
