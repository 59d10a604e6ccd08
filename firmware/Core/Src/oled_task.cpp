// The OLED task: sets up the display, waits (suspended) until the main task
// has loaded the settings, then shows the logo or the three-line gauge as
// the main task asks through `drawlumo`.
#include <math.h>
#include <stdio.h>

#include "LUMO.h"
#include "m4_convert.h"
#include "main.h"
#include "number_format.h"
#include "ssd1306.h"
#include "tasks.h"
#include "vehicle_state.h"

void draw_lumo_logo(void) { drawlumo = 1; }

void start_oled(void) { drawlumo = 0; }

// Line 3 of the gauge: the value `oledparam` chooses, as text, or the
// injection-time bar.
static void draw_third_line(char* text, size_t size) {
  text[0] = '\0';
  switch (oledparam) {
    case 1:
      snprintf(text, size, "%.1f*C", (double)temp);
      break;
    case 2: {
      // The bar is full at `maxinjtime` (fminf drops a NaN ratio: with
      // `maxinjtime` 0 the bar is always full).
      const float percent = fminf(injtime / maxinjtime, 1.0f) * 100.0f;
      const uint8_t progress = (uint8_t)m4_float_to_uint32(percent);  // a negative value becomes 0
      ssd1306_DrawProgressBar(0, 45, 128, 18, progress);
      break;
    }
    case 3:
      snprintf(text, size, "%.2fV", (double)voltage);
      break;
    case 4:
      snprintf(text, size, "%.1fL/100km", (double)(IsOnLpg ? avglpgcons : avgpbcons));
      break;
    default:
      break;
  }
}

void draw_oled(void) {
  // Its own text buffer: the TFT screens' `buf` belongs to the main task.
  char text[15];

  ssd1306_SetColor(Black);
  ssd1306_Fill();
  ssd1306_SetColor(White);

  snprintf(text, sizeof text, "%.0fkm/h ", (double)speed);
  ssd1306_SetCursor(0, 0);
  ssd1306_WriteString(text, Font_16x26);

  if (speed > 5.0f) {
    format_number(text, sizeof text, "%.1fL/100km ", (double)instcons);
  } else {
    format_number(text, sizeof text, "%.2fL/h ", (double)instconsph);
  }
  ssd1306_SetCursor(0, 26);
  ssd1306_WriteString(text, Font_11x18);

  draw_third_line(text, sizeof text);
  ssd1306_SetCursor(0, 45);
  if (oledparam != 2) {
    ssd1306_WriteString(text, Font_11x18);
  }

  ssd1306_UpdateScreen();
}

// The logo, sent once; the picture then stays on the display.
static void show_logo(void) {
  ssd1306_SetColor(Black);
  ssd1306_Fill();
  ssd1306_SetColor(White);
  for (uint8_t y = 0; y < 64; y++) {
    for (uint8_t x = 0; x < 128; x++) {
      if (lumo[y * 128 + x]) {
        ssd1306_DrawPixel(x, y);
      }
    }
  }
  ssd1306_UpdateScreen();
}

void oledtask(void* argument) {
  (void)argument;
  ssd1306_Init();
  ssd1306_Fill();  // the colour is Black after the initialisation
  ssd1306_SetColor(White);
  ssd1306_FlipScreenVertically();  // the module is mounted upside down
  ssd1306_UpdateScreen();

  // The main task loads the settings over the shared bus once this task is
  // suspended, then resumes it.
  vTaskSuspend((TaskHandle_t)oledvtaskHandle);

  for (;;) {
    if (drawlumo) {
      show_logo();
      while (drawlumo) {
        osDelay(500);
      }
    } else {
      draw_oled();
      osDelay(100);
    }
  }
}
