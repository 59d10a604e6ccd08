// Driver of the 128x64 OLED with its SSD1306 controller on I2C1. Everything
// is drawn into a frame buffer in RAM, laid out as the controller's memory
// (8 pages of 8 rows, one byte per column and page, bit 0 the top row);
// ssd1306_UpdateScreen copies the whole buffer to the display. Only the
// OLED task uses it; the EEPROM shares the bus.
#pragma once

#include <stdint.h>

#include "fonts.h"
#include "ssd1306_defines.h"

typedef enum : uint8_t {
  Black = 0,    // pixel off
  White = 1,    // pixel on
  Inverse = 2,  // toggles, in the line operations
} SSD1306_COLOR;

typedef enum {
  GEOMETRY_128_64 = 0,
  GEOMETRY_128_32 = 1,
} SSD1306_Geometry;

typedef struct {
  uint16_t CurrentX;   // text cursor column
  uint16_t CurrentY;   // text cursor row
  uint8_t Inverted;    // nonzero: ssd1306_DrawPixel swaps on and off
  SSD1306_COLOR Color; // current drawing colour
  uint8_t Initialized; // 1 after a successful ssd1306_Init
} SSD1306_t;

extern SSD1306_t SSD1306;
extern uint8_t SSD1306_Buffer[SSD1306_BUFFER_SIZE];
extern SSD1306_Geometry display_geometry;

uint16_t ssd1306_GetWidth(void);
uint16_t ssd1306_GetHeight(void);

// 1 when the display answered and has been set up, 0 when nobody answers.
uint8_t ssd1306_Init(void);
void ssd1306_SetColor(SSD1306_COLOR color);
// The whole buffer off (colour Black) or on (White, Inverse).
void ssd1306_Fill(void);
// The whole buffer off, whatever the colour.
void ssd1306_Clear(void);
void ssd1306_UpdateScreen(void);

void ssd1306_DrawPixel(uint8_t x, uint8_t y);
void ssd1306_DrawHorizontalLine(int16_t x, int16_t y, int16_t length);
void ssd1306_DrawVerticalLine(int16_t x, int16_t y, int16_t length);
void ssd1306_FillRect(int16_t xMove, int16_t yMove, int16_t width, int16_t height);
void ssd1306_FillCircle(int16_t x0, int16_t y0, int16_t radius);
// Quarters: 0x1 upper right, 0x2 upper left, 0x4 lower left, 0x8 lower right.
void ssd1306_DrawCircleQuads(int16_t x0, int16_t y0, int16_t radius, uint8_t quads);
// A rounded frame with a bar filled to `progress` percent; draw it on a
// cleared buffer, it does not wipe the unfilled part.
void ssd1306_DrawProgressBar(uint16_t x, uint16_t y, uint16_t width, uint16_t height, uint8_t progress);

void ssd1306_SetCursor(uint8_t x, uint8_t y);
// `ch` when drawn, 0 when refused: a glyph may not reach the last column or
// the last row, and only 0x20..0x7E have glyphs.
char ssd1306_WriteChar(char ch, FontDef Font);
// 0 when the whole string was drawn, else the first character refused.
char ssd1306_WriteString(char* str, FontDef Font);

// Turns the picture by 180 degrees (the module is mounted upside down).
void ssd1306_FlipScreenVertically(void);

// One command byte, or a run of display data, in a transaction of its own.
void ssd1306_WriteCommand(uint8_t command);
void ssd1306_WriteData(uint8_t* data, uint16_t size);
