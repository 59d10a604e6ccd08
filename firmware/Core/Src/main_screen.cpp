// The main trip screen: speed, distance, average consumption and range of the
// fuel in use in large figures, the other fuel below, temperature, voltage,
// the lambda bar and both tank bars. Every pass redraws each field in place;
// texts carry trailing blanks and are cut to their buffer to wipe old ones.
#include "main_screen.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "m4_convert.h"
#include "number_format.h"
#include "trip_computer.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

// The texts are cut to their buffer lengths on purpose: the layout relies on it.
#pragma GCC diagnostic ignored "-Wformat-truncation"

namespace {

// Layout: label column, values column and the rows of the large values.
constexpr uint16_t kLabelX = 10;
constexpr uint16_t kValueX = 180;

constexpr uint16_t kLambdaColors[6] = {0x001F, 0x3019, 0x6013, 0x980C, 0xC806, 0xF800};  // blue .. red

// A coordinate from a computed value, converted as the Cortex-M4 does; the
// low 16 bits are kept.
uint16_t to_coord(double v) { return (uint16_t)m4_double_to_uint32(v); }

uint16_t to_coord(float v) { return (uint16_t)m4_float_to_uint32(v); }

void text(uint16_t x, uint16_t y, const char* s, sFONT font, uint16_t color) { Displ_WString(x, y, s, font, 1, color, BLACK); }

// The channel is stepped in a local and stored once: the one-second interrupt
// indexes the channels with active_ch and must never see it outside 1..3.
void choose_channel(void) {
  uint8_t channel = active_ch;
  if (enc == 1) {
    channel++;
    enc = 0;
  }
  if (enc == 2) {
    channel--;
    enc = 0;
  }
  active_ch = normalised_channel(channel);
}

// The buffer lengths below are part of the layout: a text cut there leaves
// the rest of its line as it was.
void draw_texts(void) {
  const struct bc* c = &ch[active_ch - 1];
  const uint16_t label = ch_colors[active_ch - 1];

  snprintf(buf, 50, "%d/3", active_ch);
  text(0, 0, buf, Font24, GREEN);
  if (IsOnLpg) {
    snprintf(buf, 12, "LPG:%.2fms    ", (double)injtime);
  } else {
    snprintf(buf, 12, "PB:%.2fms     ", (double)injtime);
  }
  text(80, 0, buf, Font20, WHITE);
  snprintf(buf, 9, "RPM:%d    ", rpm);
  text(260, 0, buf, Font20, WHITE);

  text(kLabelX, 36, "Predkosc:", Font24, label);
  text(kLabelX, 81, "Dystans:", Font24, label);
  text(kLabelX, 126, "Sr spal:", Font24, label);
  text(kLabelX, 171, "Zasieg:", Font24, label);

  if (ccenable == 0) {
    snprintf(buf, 8, "%.0fkm/h    ", (double)speed);
    text(kValueX, 20, buf, Font40, WHITE);
  } else {
    snprintf(buf, 50, "%.0fkm/h ", (double)targetspeed);
    text(kValueX, 20, buf, Font40, GREEN);
  }
  snprintf(buf, 10, "%.2fkm       ", IsOnLpg ? c->distlpg : c->distpb);
  text(kValueX, 65, buf, Font40, WHITE);
  const float avg = IsOnLpg ? avglpgcons : avgpbcons;
  snprintf(buf, 50, "%.2f", (double)avg);
  text(kValueX, 110, buf, Font40, WHITE);
  const bool short_figure = strlen(buf) < 5;
  // An empty tank at an average of 0 is 0/0.
  format_number(buf, 7, "%.0fkm    ", (double)(IsOnLpg ? lpgrange : pbrange));
  text(kValueX, 155, buf, Font40, WHITE);

  // The unit follows the average: a figure below 1 is one digit shorter, so
  // the unit moves left over the fifth cell, which is blanked first. The
  // figure has no trailing blank: below 10 it would leave the last digit of a
  // longer old one in the fifth cell (8.62 after 12.33 reading 8.623).
  snprintf(buf, 50, "L/100km   ");
  if (avg >= 1.0f) {
    if (short_figure) Displ_FillArea(280, 110, 25, 40, BLACK);
    text(305, 133, buf, Font16, WHITE);
  } else {
    Displ_FillArea(280, 110, 26, 26, BLACK);
    text(280, 133, buf, Font16, WHITE);
  }

  // The other fuel.
  if (lpgtype != 3) {
    if (IsOnLpg) {
      snprintf(buf, 35, "Dystans na benzynie: %.3fkm      ", c->distpb);
    } else {
      snprintf(buf, 50, "Dystans na gazie   : %.3fkm      ", c->distlpg);
    }
    text(0, 260, buf, Font16, WHITE);
    if (IsOnLpg) {
      snprintf(buf, 40, "Spalanie benzyny   : %.3f L/100km     ", (double)avgpbcons);
    } else {
      snprintf(buf, 40, "Spalanie gazu      : %.3f L/100km     ", (double)avglpgcons);
    }
    text(0, 280, buf, Font16, WHITE);
  }

  snprintf(buf, 19, "Temp zewn:  %.1f*C ", (double)temp);
  text(0, 210, buf, Font20, WHITE);
  snprintf(buf, 19, "zasilanie:  %.2fV ", (double)voltage);
  text(0, lpgtype != 3 ? 235 : 245, buf, Font20, WHITE);

  if (lpgtype != 3) {
    snprintf(buf, 40, "Zuzyty Gaz:%.2fL Benzyna:%.2fL      ", c->lpgcons, c->pbcons);
    text(0, 300, buf, Font16, WHITE);
  } else {
    snprintf(buf, 40, "Zuzyte paliwo:%.2fL ", c->pbcons);
    text(0, 280, buf, Font20, WHITE);
  }
}

// Lambda-probe voltage: six blocks from blue to red and a white marker
// moving 120 pixels a volt, stopped at the right end.
void draw_lambda_bar(void) {
  for (uint16_t i = 0; i < 6; i++) {
    Displ_FillArea((uint16_t)(300 + 20 * i), 220, 20, 25, kLambdaColors[i]);
  }
  Displ_Border(299, 219, 122, 27, 1, WHITE);
  const double m = fmin((double)(aux_voltage * 120.0f), 116.0);
  Displ_FillArea(to_coord(m + 300.0), 220, 5, 25, WHITE);
}

// Tank bars: the bar of the fuel in use is 20 pixels wide, the other 10.
// Both parts are redrawn, the filled one from the bottom up.
void draw_tank_bars(void) {
  const uint16_t k = IsOnLpg ? 1 : 0;
  if (lpgtype != 3) {
    const float l = lpglvl;
    Displ_FillArea((uint16_t)(465 - 10 * k), to_coord(310.0f - 300.0f * l), (uint16_t)(10 * (k + 1)),
                   to_coord(300.0f * l), YELLOW);
    Displ_FillArea((uint16_t)(465 - 10 * k), 9, (uint16_t)(10 * (k + 1)), to_coord(300.0f - 300.0f * l), BLACK);
    Displ_Border((int16_t)(464 - 10 * k), 8, (int16_t)(10 * k + 12), 301, 1, WHITE);
  }
  const float p = pblvl;
  Displ_FillArea(440, to_coord(310.0f - 300.0f * p), (uint16_t)(20 - 10 * k), to_coord(300.0f * p), GREEN);
  Displ_FillArea(440, 10, (uint16_t)(20 - 10 * k), to_coord(300.0f - 300.0f * p), BLACK);
  Displ_Border(439, 8, (int16_t)(22 - 10 * k), 300, 1, WHITE);
  Displ_FillArea((uint16_t)(461 - 10 * k), 8, 3, 320, BLACK);  // wipes the other layout's edge
}

}  // namespace

void draw_mainscreen(void) {
  choose_channel();
  draw_texts();
  if (lambda_enable != 0) {
    draw_lambda_bar();
  }
  draw_tank_bars();
}
