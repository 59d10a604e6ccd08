// EEPROM build configuration: a 24C08 (8 kbit) on I2C1, delays by busy wait,
// no write-protect pin.
#pragma once

#define _EEPROM_SIZE_KBIT 8
#define EEPROM_I2C hi2c1
#define _EEPROM_USE_FREERTOS 0
#define _EEPROM_USE_WP_PIN 0
