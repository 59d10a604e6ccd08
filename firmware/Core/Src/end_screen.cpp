#include "end_screen.h"

#include <stdio.h>

#include "number_format.h"
#include "stm32f4xx_hal.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

namespace {

constexpr uint16_t kLabelColor = 0xFB20;  // trip channel 1's orange

void label(uint16_t y, const char* text) {
  snprintf(buf, 50, "%s", text);
  Displ_WString(10, y, buf, Font24, 1, kLabelColor, BLACK);
}

void value(uint16_t y, const char* format, double v) {
  format_number(buf, 50, format, v);
  Displ_WString(260, y, buf, Font32, 1, WHITE, BLACK);
}

void unit(uint16_t y) {
  snprintf(buf, 50, "L/100km ");
  Displ_WString(360, y, buf, Font12, 1, WHITE, BLACK);
}

}  // namespace

// Consumption without distance is a division by zero: infinity, or
// not-a-number when nothing was used either.
void draw_endscreen(void) {
  label(23, "dystans pb:");
  label(63, "dystans lpg:");
  label(103, "zuzycie pb:");
  label(143, "zuzycie lpg:");
  label(183, "spalanie pb:");
  label(223, "spalanie lpg:");
  label(263, "sr. predkosc:");
  value(15, "%.1fkm ", distpb);
  value(55, "%.1fkm ", distlpg);
  value(95, "%.2fL ", pbcons);
  value(135, "%.2fL ", lpgcons);
  value(175, "%.2f ", pbcons / distpb * 100.0);
  unit(195);
  value(215, "%.2f", lpgcons / distlpg * 100.0);
  unit(235);
  // All the time since the processor started, standing included.
  const double hours = (double)HAL_GetTick() / 3600000.0;
  value(255, "%.0fkm/h ", (distpb + distlpg) / hours);
}
