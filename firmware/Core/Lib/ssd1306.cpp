// SSD1306 OLED driver: frame buffer drawing and the transfers to the
// controller (one control byte per transaction: 0x00 before a single command
// byte, 0x40 before a run of display data).
#include "ssd1306.h"

#include "stm32f4xx_hal.h"

SSD1306_t SSD1306 = {0, 0, 0, Black, 0};
uint8_t SSD1306_Buffer[SSD1306_BUFFER_SIZE] = {0};
SSD1306_Geometry display_geometry = SSD1306_GEOMETRY;

#define SSD1306_CONTROL_COMMAND 0x00
#define SSD1306_CONTROL_DATA 0x40

// The geometry as the drawing code uses it.
static uint16_t width(void) { return 128; }
static uint16_t height(void) { return display_geometry == GEOMETRY_128_32 ? 32 : 64; }

uint16_t ssd1306_GetWidth(void) { return SSD1306_WIDTH; }
uint16_t ssd1306_GetHeight(void) { return SSD1306_HEIGHT; }

void ssd1306_WriteCommand(uint8_t command) {
  HAL_I2C_Mem_Write(&SSD1306_I2C_PORT, SSD1306_I2C_ADDR, SSD1306_CONTROL_COMMAND, I2C_MEMADD_SIZE_8BIT, &command, 1,
                    10);
}

void ssd1306_WriteData(uint8_t* data, uint16_t size) {
  HAL_I2C_Mem_Write(&SSD1306_I2C_PORT, SSD1306_I2C_ADDR, SSD1306_CONTROL_DATA, I2C_MEMADD_SIZE_8BIT, data, size, 100);
}

uint8_t ssd1306_Init(void) {
  if (HAL_I2C_IsDeviceReady(&SSD1306_I2C_PORT, SSD1306_I2C_ADDR, 5, 1000) != HAL_OK) {
    SSD1306.Initialized = 0;
    return 0;
  }
  HAL_Delay(100);  // let the module's supply and reset settle

  const uint8_t geometry_128_32 = display_geometry == GEOMETRY_128_32;
  ssd1306_WriteCommand(0xAE);  // display off
  ssd1306_WriteCommand(0xD5);  // clock: divide ratio 1, oscillator at its highest
  ssd1306_WriteCommand(0xF0);
  ssd1306_WriteCommand(0xA8);  // multiplex ratio: all rows
  ssd1306_WriteCommand((uint8_t)(height() - 1));
  ssd1306_WriteCommand(0xD3);  // display offset 0
  ssd1306_WriteCommand(0x00);
  ssd1306_WriteCommand(0x40);  // start line 0
  ssd1306_WriteCommand(0x8D);  // charge pump on
  ssd1306_WriteCommand(0x14);
  ssd1306_WriteCommand(0x20);  // horizontal addressing
  ssd1306_WriteCommand(0x00);
  ssd1306_WriteCommand(0xA0);  // column 0 to SEG0
  ssd1306_WriteCommand(0xC0);  // COM0 first
  ssd1306_WriteCommand(0xDA);  // COM pins: alternative layout on the 64-row panel
  ssd1306_WriteCommand(geometry_128_32 ? 0x02 : 0x12);
  ssd1306_WriteCommand(0x81);  // contrast
  ssd1306_WriteCommand(geometry_128_32 ? 0x8F : 0xCF);
  ssd1306_WriteCommand(0xD9);  // pre-charge period
  ssd1306_WriteCommand(0xF1);
  ssd1306_WriteCommand(0xDB);  // VCOMH deselect level
  ssd1306_WriteCommand(0x40);
  ssd1306_WriteCommand(0xA4);  // show the RAM
  ssd1306_WriteCommand(0xA6);  // not inverted
  ssd1306_WriteCommand(0x2E);  // no scrolling
  ssd1306_WriteCommand(0xAF);  // display on

  SSD1306.CurrentX = 0;
  SSD1306.CurrentY = 0;
  SSD1306.Color = Black;
  ssd1306_Clear();
  ssd1306_UpdateScreen();
  SSD1306.Initialized = 1;
  return 1;
}

void ssd1306_SetColor(SSD1306_COLOR color) { SSD1306.Color = color; }

void ssd1306_Fill(void) {
  const uint8_t value = SSD1306.Color == Black ? 0x00 : 0xFF;
  for (uint32_t i = 0; i < sizeof SSD1306_Buffer; i++) {
    SSD1306_Buffer[i] = value;
  }
}

void ssd1306_Clear(void) {
  for (uint32_t i = 0; i < sizeof SSD1306_Buffer; i++) {
    SSD1306_Buffer[i] = 0x00;
  }
}

void ssd1306_UpdateScreen(void) {
  for (uint8_t page = 0; page < 8; page++) {
    ssd1306_WriteCommand((uint8_t)(0xB0 + page));  // page start
    ssd1306_WriteCommand(0x00);                    // column 0: lower nibble
    ssd1306_WriteCommand(0x10);                    // and upper nibble
    ssd1306_WriteData(&SSD1306_Buffer[SSD1306_WIDTH * page], SSD1306_WIDTH);
  }
}

// Whether a pixel drawn in `color` is lit: an inverted display swaps black
// and white, and a single pixel in Inverse is cleared either way.
static bool lit(SSD1306_COLOR color) { return SSD1306.Inverted ? color == Black : color == White; }

// Lights or clears one pixel of the buffer; the caller keeps it on the screen.
static void put_pixel(uint32_t x, uint32_t y, bool on) {
  uint8_t* byte = &SSD1306_Buffer[x + (y / 8) * SSD1306_WIDTH];
  const uint8_t bit = (uint8_t)(1u << (y % 8));
  *byte = on ? (uint8_t)(*byte | bit) : (uint8_t)(*byte & ~bit);
}

void ssd1306_DrawPixel(uint8_t x, uint8_t y) {
  if (x >= SSD1306_WIDTH || y >= SSD1306_HEIGHT) {
    return;
  }
  put_pixel(x, y, lit(SSD1306.Color));
}

// Applies the current colour to the bits of `mask` in one buffer byte.
static void apply_mask(uint8_t* byte, uint8_t mask) {
  switch (SSD1306.Color) {
    case Black:
      *byte &= (uint8_t)~mask;
      break;
    case White:
      *byte |= mask;
      break;
    case Inverse:
      *byte ^= mask;
      break;
  }
}

// Cuts the run [start, start + len) to [0, limit); false if nothing is left.
// Worked in int so that no clipping step can wrap around.
static bool clip_run(int& start, int& len, int limit) {
  if (start < 0) {
    len += start;
    start = 0;
  }
  if (start + len > limit) {
    len = limit - start;
  }
  return len > 0;
}

void ssd1306_DrawHorizontalLine(int16_t x, int16_t y, int16_t length) {
  int xs = x;
  int len = length;
  if (y < 0 || y >= height() || !clip_run(xs, len, width())) {
    return;
  }
  uint8_t* byte = &SSD1306_Buffer[xs + (y / 8) * SSD1306_WIDTH];
  const uint8_t mask = (uint8_t)(1u << (y & 7));
  while (len-- > 0) {
    apply_mask(byte++, mask);
  }
}

void ssd1306_DrawVerticalLine(int16_t x, int16_t y, int16_t length) {
  int ys = y;
  int len = length;
  if (x < 0 || x >= width() || !clip_run(ys, len, height())) {
    return;
  }
  uint8_t* byte = &SSD1306_Buffer[x + (ys / 8) * SSD1306_WIDTH];

  // A first byte that starts inside its page: rows y mod 8 .. 7, fewer if
  // the line ends in it.
  const int skip = ys & 7;
  if (skip != 0) {
    const int k = 8 - skip;
    uint8_t mask = (uint8_t)~(0xFFu >> k);
    if (len < k) {
      mask &= (uint8_t)(0xFFu >> (k - len));
    }
    apply_mask(byte, mask);
    if (len < k) {
      return;
    }
    len -= k;
    byte += SSD1306_WIDTH;
  }

  // Whole bytes.
  while (len >= 8) {
    apply_mask(byte, 0xFF);
    len -= 8;
    byte += SSD1306_WIDTH;
  }

  // The top rows of the last page.
  if (len > 0) {
    apply_mask(byte, (uint8_t)((1u << len) - 1u));
  }
}

void ssd1306_FillRect(int16_t xMove, int16_t yMove, int16_t width, int16_t height) {
  // Columns off the screen would draw nothing: skip them.
  const int first = xMove < 0 ? 0 : xMove;
  const int end = xMove + width < SSD1306_WIDTH ? xMove + width : SSD1306_WIDTH;
  for (int x = first; x < end; x++) {
    ssd1306_DrawVerticalLine((int16_t)x, yMove, height);
  }
}

void ssd1306_FillCircle(int16_t x0, int16_t y0, int16_t radius) {
  int16_t x = 0;
  int16_t y = radius;
  int16_t dp = (int16_t)(1 - radius);
  do {
    if (dp < 0) {
      x++;
      dp = (int16_t)(dp + 2 * x + 3);
    } else {
      x++;
      y--;
      dp = (int16_t)(dp + 2 * x - 2 * y + 5);
    }
    ssd1306_DrawHorizontalLine((int16_t)(x0 - x), (int16_t)(y0 - y), (int16_t)(2 * x));
    ssd1306_DrawHorizontalLine((int16_t)(x0 - x), (int16_t)(y0 + y), (int16_t)(2 * x));
    ssd1306_DrawHorizontalLine((int16_t)(x0 - y), (int16_t)(y0 - x), (int16_t)(2 * y));
    ssd1306_DrawHorizontalLine((int16_t)(x0 - y), (int16_t)(y0 + x), (int16_t)(2 * y));
  } while (x < y);
  ssd1306_DrawHorizontalLine((int16_t)(x0 - radius), y0, (int16_t)(2 * radius));
}

// A pixel of a circle outline. Coordinates off the screen are dropped here:
// narrowed to the 8-bit pixel coordinates, a far-off point would wrap back
// onto the screen.
static void circle_pixel(int x, int y) {
  if (x < 0 || x >= SSD1306_WIDTH || y < 0 || y >= SSD1306_HEIGHT) {
    return;
  }
  ssd1306_DrawPixel((uint8_t)x, (uint8_t)y);
}

void ssd1306_DrawCircleQuads(int16_t x0, int16_t y0, int16_t radius, uint8_t quads) {
  int16_t x = 0;
  int16_t y = radius;
  int16_t dp = (int16_t)(1 - radius);
  while (x < y) {
    if (dp < 0) {
      x++;
      dp = (int16_t)(dp + 2 * x + 3);
    } else {
      x++;
      y--;
      dp = (int16_t)(dp + 2 * x - 2 * y + 5);
    }
    if (quads & 0x1) {
      circle_pixel(x0 + x, y0 - y);
      circle_pixel(x0 + y, y0 - x);
    }
    if (quads & 0x2) {
      circle_pixel(x0 - y, y0 - x);
      circle_pixel(x0 - x, y0 - y);
    }
    if (quads & 0x4) {
      circle_pixel(x0 - y, y0 + x);
      circle_pixel(x0 - x, y0 + y);
    }
    if (quads & 0x8) {
      circle_pixel(x0 + x, y0 + y);
      circle_pixel(x0 + y, y0 + x);
    }
  }
  if ((quads & 0x1) && (quads & 0x8)) {
    circle_pixel(x0 + radius, y0);
  }
  if ((quads & 0x4) && (quads & 0x8)) {
    circle_pixel(x0, y0 + radius);
  }
  if ((quads & 0x2) && (quads & 0x4)) {
    circle_pixel(x0 - radius, y0);
  }
  if ((quads & 0x1) && (quads & 0x2)) {
    circle_pixel(x0, y0 - radius);
  }
}

void ssd1306_DrawProgressBar(uint16_t x, uint16_t y, uint16_t width, uint16_t height, uint8_t progress) {
  const uint16_t radius = (uint16_t)(height / 2);
  const uint16_t xRadius = (uint16_t)(x + radius);
  const uint16_t yRadius = (uint16_t)(y + radius);
  const uint16_t doubleRadius = (uint16_t)(2 * radius);
  const uint16_t innerRadius = (uint16_t)(radius - 2);
  const uint16_t barWidth = (uint16_t)(width - doubleRadius + 1);

  ssd1306_SetColor(White);
  ssd1306_DrawCircleQuads((int16_t)xRadius, (int16_t)yRadius, (int16_t)radius, 0x6);  // left cap
  ssd1306_DrawHorizontalLine((int16_t)xRadius, (int16_t)y, (int16_t)barWidth);
  ssd1306_DrawHorizontalLine((int16_t)xRadius, (int16_t)(y + height), (int16_t)barWidth);
  ssd1306_DrawCircleQuads((int16_t)(x + width - radius), (int16_t)yRadius, (int16_t)radius, 0x9);  // right cap

  const uint16_t maxProgressWidth = (uint16_t)(barWidth * progress / 100);
  ssd1306_FillCircle((int16_t)xRadius, (int16_t)yRadius, (int16_t)innerRadius);
  ssd1306_FillRect((int16_t)(xRadius + 1), (int16_t)(y + 2), (int16_t)maxProgressWidth, (int16_t)(height - 3));
  ssd1306_FillCircle((int16_t)(xRadius + maxProgressWidth), (int16_t)yRadius, (int16_t)innerRadius);
}

void ssd1306_SetCursor(uint8_t x, uint8_t y) {
  SSD1306.CurrentX = x;
  SSD1306.CurrentY = y;
}

char ssd1306_WriteChar(char ch, FontDef Font) {
  // Only the printable ASCII characters have glyphs.
  if (ch < ' ' || ch > '~') {
    return 0;
  }
  if (SSD1306.CurrentX + Font.FontWidth >= SSD1306_WIDTH || SSD1306.CurrentY + Font.FontHeight >= SSD1306_HEIGHT) {
    return 0;
  }
  const uint16_t* glyph = &Font.data[(ch - 32) * Font.FontHeight];
  // Glyphs are opaque: the cell's background is painted too, in the opposite
  // of the text colour (black behind Inverse text). The cell is on the screen.
  const SSD1306_COLOR background = SSD1306.Color == Black ? White : Black;
  const bool ink = lit(SSD1306.Color);
  const bool paper = lit(background);
  for (uint32_t i = 0; i < Font.FontHeight; i++) {
    const uint16_t row = glyph[i];
    for (uint32_t j = 0; j < Font.FontWidth; j++) {
      put_pixel(SSD1306.CurrentX + j, SSD1306.CurrentY + i, ((row << j) & 0x8000) ? ink : paper);
    }
  }
  SSD1306.CurrentX = (uint16_t)(SSD1306.CurrentX + Font.FontWidth);
  return ch;
}

char ssd1306_WriteString(char* str, FontDef Font) {
  while (*str) {
    if (ssd1306_WriteChar(*str, Font) != *str) {
      return *str;
    }
    str++;
  }
  return 0;
}

void ssd1306_FlipScreenVertically(void) {
  ssd1306_WriteCommand(0xA1);  // column 127 to SEG0
  ssd1306_WriteCommand(0xC8);  // COM scan from COM[N-1] to COM0
}
