// Driver of the colour TFT: an ILI9488 controller on SPI1, written to only
// (clock, data out, chip select, data/command, reset) and run in 18-bit
// colour, three bytes a pixel. Callers give RGB565 colours. Transfers of 20
// bytes and more go by DMA from one of two buffers while the next fill or
// character is composed in the other; the DMA-complete interrupt frees the bus.
#ifndef Z_DISPL_ILI9XXX_H
#define Z_DISPL_ILI9XXX_H

#include <stddef.h>
#include <stdint.h>

#include "fontsLCD.h"
#include "stm32f4xx_hal.h"

// ---- build configuration: the ILI9488 in 18-bit colour, with DMA
#define ILI9488
#define ILI9488_V1
#define Z_RGB666
#define DISPLAY_SPI_DMA_MODE

#define DISPL_WIDTH 320   // native (portrait) size of the panel
#define DISPL_HEIGHT 480
#define DISPL_DMA_CUTOFF 20  // transfers of this many bytes or more go by DMA
#define BUFLEVEL 13
#define SIZEBUF (1 << BUFLEVEL)  // bytes in each of the two pixel buffers
#define DISPL_SPI_PORT hspi1
#define DISPL_SPI SPI1
#define DISPL_PRESCALER SPI_BAUDRATEPRESCALER_2
#define SPI_COMMAND GPIO_PIN_RESET  // data/command line for a command byte
#define SPI_DATA GPIO_PIN_SET       // ... for parameter and pixel bytes

// ---- controller commands
#define ILI9XXX_SLEEP_OUT 0x11
#define ILI9XXX_DISPLAY_ON 0x29
#define ILI9XXX_PIXEL_FORMAT 0x3A
#define ILI9XXX_RGB_INTERFACE 0xB0
#define ILI9XXX_COLUMN_ADDR 0x2A
#define ILI9XXX_PAGE_ADDR 0x2B
#define ILI9XXX_MEMWR 0x2C
#define ILI9XXX_MADCTL 0x36

// Memory access control per orientation: row order, column order and
// row/column exchange in the top three bits; all with BGR order (0x08).
#define ILI9XXX_MADCTL_0DEG 0x88
#define ILI9XXX_MADCTL_90DEG 0xE8
#define ILI9XXX_MADCTL_180DEG 0x48
#define ILI9XXX_MADCTL_270DEG 0x28

// ---- colours, RGB565
#define RED 0xF800
#define D_RED 0xC000
#define DD_RED 0x8000
#define GREEN 0x07E0
#define D_GREEN 0x0600
#define DD_GREEN 0x0400
#define BLUE 0x001F
#define D_BLUE 0x0018
#define DD_BLUE 0x0010
#define YELLOW 0xFFE0
#define D_YELLOW 0xC600
#define DD_YELLOW 0x8400
#define MAGENTA 0xF81F
#define D_MAGENTA 0xC018
#define DD_MAGENTA 0x8020
#define ORANGE 0xFD00
#define D_ORANGE 0xC300
#define DD_ORANGE 0x8200
#define CYAN 0x07FF
#define D_CYAN 0x0618
#define DD_CYAN 0x0410
#define WHITE 0xFFFF
#define D_WHITE 0xC618
#define DD_WHITE 0x8410
#define DDD_WHITE 0x4208
#define DDDD_WHITE 0x2104
#define BLACK 0x0000

// A colour from 8-bit red, green and blue.
#define color565(r, g, b) ((uint16_t)((((r) & 0xF8) << 8) | (((g) & 0xFC) << 3) | (((b) & 0xF8) >> 3)))

typedef enum {
  Displ_Orientat_0 = 0,
  Displ_Orientat_90 = 1,  // landscape, 480 x 320: the unit's orientation
  Displ_Orientat_180 = 2,
  Displ_Orientat_270 = 3,
} Displ_Orientat_e;

// Logical size for the current orientation; 0 until Displ_Init.
extern int16_t _width;
extern int16_t _height;
extern Displ_Orientat_e current_orientation;
// 1 while no transfer runs; cleared by the main task when it starts one and
// set again at its end (by the DMA-complete interrupt for DMA transfers).
extern volatile uint8_t Displ_SpiAvailable;

// ---- set-up
void Displ_Init(Displ_Orientat_e orientation);
void ILI9XXX_Init(void);
void Displ_Orientation(Displ_Orientat_e orientation);

// ---- drawing
void Displ_SetAddressWindow(uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2);
void Displ_FillArea(uint16_t x, uint16_t y, uint16_t w, uint16_t h, uint16_t color);
void Displ_CLS(uint16_t bgcolor);
void Displ_Border(int16_t x, int16_t y, int16_t w, int16_t h, int16_t t, uint16_t color);
void Displ_WChar(uint16_t x, uint16_t y, char ch, sFONT font, uint8_t size, uint16_t color, uint16_t bgcolor);
void Displ_WString(uint16_t x, uint16_t y, const char* str, sFONT font, uint8_t size, uint16_t color, uint16_t bgcolor);
// A w x h RGB565 picture given as bytes, high byte of each pixel first.
void ILI9488_DrawImage(uint16_t x, uint16_t y, uint16_t w, uint16_t h, uint8_t* img);

// ---- the wire
void Displ_Select(void);
void Displ_Transmit(GPIO_PinState DC_Status, uint8_t* data, uint16_t dataSize);
void Displ_WriteCommand(uint8_t cmd);
void Displ_WriteData(uint8_t* buff, size_t buff_size);

#endif  // Z_DISPL_ILI9XXX_H
