// Build-time configuration of the OLED: its bus, address and geometry.
#pragma once

#include "board_setup.h"

#define SSD1306_I2C_PORT hi2c1
#define SSD1306_ADDRESS 0x3C                        // 7-bit address (SA0 low)
#define SSD1306_I2C_ADDR (SSD1306_ADDRESS << 1)     // as the HAL takes it: 0x78
#define SSD1306_WIDTH 128
#define SSD1306_HEIGHT 64
#define SSD1306_BUFFER_SIZE (SSD1306_WIDTH * SSD1306_HEIGHT / 8)
#define SSD1306_GEOMETRY GEOMETRY_128_64
