// ILI9488 colour display on SPI1: start-up, orientation, fills, text and the
// picture blit. Only the main task draws; the DMA-complete interrupt frees
// the bus through HAL_SPI_TxCpltCallback.
#include "z_displ_ILI9XXX.h"

#include "board_setup.h"
#include "main.h"

int16_t _width = 0;
int16_t _height = 0;
Displ_Orientat_e current_orientation = Displ_Orientat_0;
volatile uint8_t Displ_SpiAvailable = 1;

// Two pixel buffers: the next fill or character is composed in one while the
// DMA may still be reading the other. Each new transfer first waits for the
// one before, so the buffer composed into has always finished its own.
static uint8_t dispBuffer1[SIZEBUF];
static uint8_t dispBuffer2[SIZEBUF];
static uint8_t* dispBuffer = dispBuffer1;

static uint8_t window_params[4];
static uint8_t madctl_param[1];

// Largest run of whole pixels one buffer carries: 2730 pixels, 8190 bytes.
static const uint32_t kChunkBytes = (SIZEBUF / 3) * 3;

static void swap_buffers(void) { dispBuffer = (dispBuffer == dispBuffer1) ? dispBuffer2 : dispBuffer1; }

static void wait_for_bus(void) {
  while (Displ_SpiAvailable == 0) {
    __NOP();
  }
}

// Starts a DMA transfer; if the stream refuses it nothing runs, so the bus is
// free again at once (the bytes are lost, as with a transfer error).
static void start_dma(uint8_t* data, uint16_t size) {
  Displ_SpiAvailable = 0;
  if (HAL_SPI_Transmit_DMA(&DISPL_SPI_PORT, data, size) != HAL_OK) {
    Displ_SpiAvailable = 1;
  }
}

// ---------------------------------------------------------------- the wire

void Displ_Select(void) { HAL_GPIO_WritePin(lcd_cs_GPIO_Port, lcd_cs_Pin, GPIO_PIN_RESET); }

void Displ_Transmit(GPIO_PinState DC_Status, uint8_t* data, uint16_t dataSize) {
  wait_for_bus();  // never touch the data/command line while a transfer runs
  Displ_Select();
  HAL_GPIO_WritePin(lcd_dc_GPIO_Port, lcd_dc_Pin, DC_Status);
  if (dataSize < DISPL_DMA_CUTOFF) {
    Displ_SpiAvailable = 0;
    HAL_SPI_Transmit(&DISPL_SPI_PORT, data, dataSize, HAL_MAX_DELAY);
    Displ_SpiAvailable = 1;
  } else {
    start_dma(data, dataSize);
  }
}

void Displ_WriteCommand(uint8_t cmd) { Displ_Transmit(SPI_COMMAND, &cmd, 1); }

void Displ_WriteData(uint8_t* buff, size_t buff_size) {
  // One transfer carries at most 65535 bytes; longer data goes in pieces.
  while (buff_size > 0) {
    const uint16_t n = buff_size > 0xFFFFu ? (uint16_t)0xFFFFu : (uint16_t)buff_size;
    Displ_Transmit(SPI_DATA, buff, n);
    buff += n;
    buff_size -= n;
  }
}

void HAL_SPI_TxCpltCallback(SPI_HandleTypeDef* hspi) {
  if (hspi->Instance == DISPL_SPI) {
    Displ_SpiAvailable = 1;
  }
}

void HAL_SPI_ErrorCallback(SPI_HandleTypeDef* hspi) {
  if (hspi->Instance == DISPL_SPI) {
    Displ_SpiAvailable = 1;
  }
}

// ---------------------------------------------------------------- set-up

void ILI9XXX_Init(void) {
  uint8_t param;
  Displ_Select();
  HAL_GPIO_WritePin(lcd_res_GPIO_Port, lcd_res_Pin, GPIO_PIN_RESET);
  HAL_Delay(1);
  HAL_GPIO_WritePin(lcd_res_GPIO_Port, lcd_res_Pin, GPIO_PIN_SET);
  HAL_Delay(500);

  Displ_WriteCommand(ILI9XXX_PIXEL_FORMAT);
  param = 0x66;  // 18 bits a pixel on both interfaces
  Displ_WriteData(&param, 1);
  Displ_WriteCommand(ILI9XXX_RGB_INTERFACE);
  param = 0x80;
  Displ_WriteData(&param, 1);
  Displ_WriteCommand(ILI9XXX_RGB_INTERFACE);
  param = 0x80;
  Displ_WriteData(&param, 1);

  Displ_WriteCommand(ILI9XXX_SLEEP_OUT);
  HAL_Delay(120);
  Displ_WriteCommand(ILI9XXX_DISPLAY_ON);
  HAL_Delay(5);
}

void Displ_Orientation(Displ_Orientat_e orientation) {
  switch (orientation) {
    case Displ_Orientat_0:
      madctl_param[0] = ILI9XXX_MADCTL_0DEG;
      _width = DISPL_WIDTH;
      _height = DISPL_HEIGHT;
      break;
    case Displ_Orientat_90:
      madctl_param[0] = ILI9XXX_MADCTL_90DEG;
      _width = DISPL_HEIGHT;
      _height = DISPL_WIDTH;
      break;
    case Displ_Orientat_180:
      madctl_param[0] = ILI9XXX_MADCTL_180DEG;
      _width = DISPL_WIDTH;
      _height = DISPL_HEIGHT;
      break;
    case Displ_Orientat_270:
      madctl_param[0] = ILI9XXX_MADCTL_270DEG;
      _width = DISPL_HEIGHT;
      _height = DISPL_WIDTH;
      break;
    default:
      return;  // not an orientation: leave the controller as it is
  }
  Displ_WriteCommand(ILI9XXX_MADCTL);
  Displ_WriteData(madctl_param, 1);
  current_orientation = orientation;
}

void Displ_Init(Displ_Orientat_e orientation) {
  HAL_GPIO_WritePin(lcd_cs_GPIO_Port, lcd_cs_Pin, GPIO_PIN_SET);
  ILI9XXX_Init();
  Displ_Orientation(orientation);
}

// ---------------------------------------------------------------- drawing

// A fill or text colour on the wire: RGB565 widened to the panel's three
// bytes by placing each component at the top of its byte.
static void wire_colour(uint16_t color, uint8_t rgb[3]) {
  rgb[0] = (uint8_t)((color >> 8) & 0xF8);
  rgb[1] = (uint8_t)((color >> 3) & 0xFC);
  rgb[2] = (uint8_t)((color << 3) & 0xFF);
}

void Displ_SetAddressWindow(uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2) {
  Displ_WriteCommand(ILI9XXX_COLUMN_ADDR);
  window_params[0] = (uint8_t)(x1 >> 8);
  window_params[1] = (uint8_t)x1;
  window_params[2] = (uint8_t)(x2 >> 8);
  window_params[3] = (uint8_t)x2;
  Displ_WriteData(window_params, 4);
  Displ_WriteCommand(ILI9XXX_PAGE_ADDR);
  window_params[0] = (uint8_t)(y1 >> 8);
  window_params[1] = (uint8_t)y1;
  window_params[2] = (uint8_t)(y2 >> 8);
  window_params[3] = (uint8_t)y2;
  Displ_WriteData(window_params, 4);
  Displ_WriteCommand(ILI9XXX_MEMWR);
}

void Displ_FillArea(uint16_t x, uint16_t y, uint16_t w, uint16_t h, uint16_t color) {
  if (x >= _width || y >= _height || w == 0 || h == 0) return;
  // Only the right and bottom edges need clipping: x and y are inside.
  uint32_t x1 = (uint32_t)x + w - 1u;
  uint32_t y1 = (uint32_t)y + h - 1u;
  if (x1 > (uint32_t)(_width - 1)) x1 = (uint32_t)(_width - 1);
  if (y1 > (uint32_t)(_height - 1)) y1 = (uint32_t)(_height - 1);
  const uint32_t area = (y1 - y + 1u) * (x1 - x + 1u) * 3u;

  uint8_t rgb[3];
  wire_colour(color, rgb);
  const uint32_t chunk = area < kChunkBytes ? area : kChunkBytes;
  for (uint32_t i = 0; i < chunk; i += 3) {
    dispBuffer[i] = rgb[0];
    dispBuffer[i + 1] = rgb[1];
    dispBuffer[i + 2] = rgb[2];
  }

  Displ_SetAddressWindow(x, y, (uint16_t)x1, (uint16_t)y1);
  const uint32_t whole = area / chunk;
  for (uint32_t i = 0; i < whole; i++) {
    Displ_WriteData(dispBuffer, chunk);
  }
  Displ_WriteData(dispBuffer, area - whole * chunk);
  swap_buffers();
}

void Displ_CLS(uint16_t bgcolor) { Displ_FillArea(0, 0, (uint16_t)_width, (uint16_t)_height, bgcolor); }

void Displ_Border(int16_t x, int16_t y, int16_t w, int16_t h, int16_t t, uint16_t color) {
  Displ_FillArea((uint16_t)x, (uint16_t)y, (uint16_t)w, (uint16_t)t, color);
  Displ_FillArea((uint16_t)x, (uint16_t)(y + h - t), (uint16_t)w, (uint16_t)t, color);
  Displ_FillArea((uint16_t)x, (uint16_t)y, (uint16_t)t, (uint16_t)h, color);
  Displ_FillArea((uint16_t)(x + w - t), (uint16_t)y, (uint16_t)t, (uint16_t)h, color);
}

// One glyph pixel into the buffer, twice side by side for a doubled glyph.
static uint8_t* put_pixel(uint8_t* p, const uint8_t rgb[3], bool twice) {
  p[0] = rgb[0];
  p[1] = rgb[1];
  p[2] = rgb[2];
  if (twice) {
    p[3] = rgb[0];
    p[4] = rgb[1];
    p[5] = rgb[2];
    return p + 6;
  }
  return p + 3;
}

void Displ_WChar(uint16_t x, uint16_t y, char ch, sFONT font, uint8_t size, uint16_t color, uint16_t bgcolor) {
  const uint8_t code = (uint8_t)ch;
  // A code without a glyph is drawn as a blank cell, never read past the table.
  const uint8_t* glyph = nullptr;
  if (code >= 32 && code <= 126) {
    glyph = font.table + (uint32_t)(code - 32) * font.Height * font.Size;
  }
  const bool twice = (size == 2);
  const uint32_t width = (uint32_t)font.Width * (twice ? 2u : 1u);
  const uint32_t row_bytes = width * 3u;
  if (row_bytes == 0 || font.Height == 0) return;
  // Every cell of the system's fonts fits one buffer; a larger one goes in
  // pieces of whole rows, and a row that does not fit at all is not drawn.
  const uint32_t rows_per_piece = SIZEBUF / row_bytes;
  if (rows_per_piece == 0) return;

  // Background and foreground triples, picked by the pixel's bit.
  uint8_t palette[2][3];
  wire_colour(bgcolor, palette[0]);
  wire_colour(color, palette[1]);
  // A glyph row is its Size bytes joined big-endian: pixel j is bit
  // 8 * Size - 1 - j. Pixels right of the row's bits are background, and so
  // is every pixel of a missing glyph.
  const uint32_t bit_columns = glyph ? (font.Width < 8u * font.Size ? font.Width : 8u * font.Size) : 0u;

  bool window_set = false;
  uint32_t row = 0;
  while (row < font.Height) {
    const uint32_t end = (font.Height - row < rows_per_piece) ? font.Height : row + rows_per_piece;
    uint8_t* p = dispBuffer;
    for (; row < end; row++) {
      const uint8_t* bits = glyph ? glyph + row * font.Size : nullptr;
      uint32_t j = 0;
      for (; j < bit_columns; j++) {
        const bool set = (bits[j >> 3] & (0x80u >> (j & 7u))) != 0;
        p = put_pixel(p, palette[set ? 1 : 0], twice);
      }
      for (; j < font.Width; j++) p = put_pixel(p, palette[0], twice);
    }
    if (!window_set) {
      Displ_SetAddressWindow(x, y, (uint16_t)(x + width - 1u), (uint16_t)(y + font.Height - 1u));
      window_set = true;
    }
    Displ_WriteData(dispBuffer, (size_t)(p - dispBuffer));
    swap_buffers();
  }
}

void Displ_WString(uint16_t x, uint16_t y, const char* str, sFONT font, uint8_t size, uint16_t color,
                   uint16_t bgcolor) {
  const uint16_t advance = (uint16_t)((size > 1) ? 2u * font.Width : font.Width);
  for (; *str != '\0'; str++) {
    Displ_WChar(x, y, *str, font, size, color, bgcolor);
    x = (uint16_t)(x + advance);
  }
}

// Image pixels are scaled to the full byte range, unlike fills and text.
static void expand_image_pixels(uint8_t* out, const uint8_t* img, uint32_t pixels) {
  for (uint32_t i = 0; i < pixels; i++) {
    const uint32_t v = ((uint32_t)img[2 * i] << 8) | img[2 * i + 1];
    out[3 * i] = (uint8_t)((v >> 11) * 255u / 31u);
    out[3 * i + 1] = (uint8_t)(((v >> 5) & 0x3Fu) * 255u / 63u);
    out[3 * i + 2] = (uint8_t)((v & 0x1Fu) * 255u / 31u);
  }
}

void ILI9488_DrawImage(uint16_t x, uint16_t y, uint16_t w, uint16_t h, uint8_t* img) {
  if (w == 0 || h == 0) return;  // nothing to draw, not even a window
  Displ_SetAddressWindow(x, y, (uint16_t)(x + w - 1), (uint16_t)(y + h - 1));
  HAL_GPIO_WritePin(lcd_dc_GPIO_Port, lcd_dc_Pin, GPIO_PIN_SET);
  Displ_Select();
  // Rows alternate between the two buffers: a row is converted while the
  // one before is still on its way. A row wider than a buffer goes in pieces.
  const uint32_t piece_pixels = SIZEBUF / 3;
  for (uint32_t row = 0; row < h; row++) {
    for (uint32_t done = 0; done < w;) {
      const uint32_t n = (w - done < piece_pixels) ? w - done : piece_pixels;
      expand_image_pixels(dispBuffer, img + ((uint32_t)row * w + done) * 2u, n);
      wait_for_bus();
      start_dma(dispBuffer, (uint16_t)(n * 3u));
      swap_buffers();
      done += n;
    }
  }
  wait_for_bus();
}
