#include "figures_table.h"

#include <math.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "analog_inputs.h"
#include "cruise_control.h"
#include "eeprom_record.h"
#include "number_format.h"
#include "tm_stm32_delay.h"
#include "tm_stm32_ds18b20.h"
#include "trip_computer.h"
#include "vehicle_state.h"

namespace {

figures_emit_fn out;

void line(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void line(const char* fmt, ...) {
  char text[160];
  va_list args;
  va_start(args, fmt);
  vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  out(text);
}

// A number's bits in hex (16 digits for a double: the chip's small C library
// has no %llx). A not-a-number is written "nan" whatever its sign and payload:
// the two processors' default not-a-number differ in the sign bit (the
// host's has it set), and nothing the firmware shows depends on it.
struct Bits {
  char text[17];
};

Bits bits(float f) {
  Bits b;
  uint32_t u;
  memcpy(&u, &f, sizeof u);
  if (isnan(f)) {
    snprintf(b.text, sizeof b.text, "nan");
  } else {
    snprintf(b.text, sizeof b.text, "%08lx", (unsigned long)u);
  }
  return b;
}

Bits bits(double d) {
  Bits b;
  uint64_t u;
  memcpy(&u, &d, sizeof u);
  if (isnan(d)) {
    snprintf(b.text, sizeof b.text, "nan");
  } else {
    snprintf(b.text, sizeof b.text, "%08lx%08lx", (unsigned long)(u >> 32), (unsigned long)(u & 0xFFFFFFFFU));
  }
  return b;
}

float from_bits(uint32_t u) {
  float f;
  memcpy(&f, &u, sizeof f);
  return f;
}

void map_cases() {
  const float nan_f = from_bits(0x7FC00000U);
  const float cases[][5] = {
      {2048.0f, 300.0f, 3800.0f, 0.0f, 1.0f}, {299.0f, 300.0f, 3800.0f, 0.0f, 1.0f},
      {4095.0f, 300.0f, 3800.0f, 0.0f, 1.0f}, {1234.0f, 3800.0f, 300.0f, 0.0f, 1.0f},
      {1000.0f, 1000.0f, 1000.0f, 0.0f, 1.0f}, {1001.0f, 1000.0f, 1000.0f, 0.0f, 1.0f},
      {7.0f, 0.0f, 3.0f, 0.0f, 0.1f},          {nan_f, 0.0f, 4095.0f, 0.0f, 1.0f},
      {0.333f, 0.1f, 0.9f, -1.0f, 1.0f},       {3333.0f, 123.0f, 3999.0f, 0.0f, 1.0f},
      // A multiply and an add fused into one rounding would change these.
      {352.0f, 300.0f, 3800.0f, 0.1f, 0.9f},   {355.0f, 300.0f, 3800.0f, 0.1f, 0.9f},
      {159.0f, 123.0f, 3999.0f, -1.5f, 2.3f},  {191.0f, 123.0f, 3999.0f, -1.5f, 2.3f},
      {0.225097656f, 0.1f, 0.9f, 5.0f, 95.0f},
  };
  for (const auto& c : cases) {
    line("map %s %s %s %s %s = %s", bits(c[0]).text, bits(c[1]).text,
         bits(c[2]).text, bits(c[3]).text, bits(c[4]).text,
         bits(map(c[0], c[1], c[2], c[3], c[4])).text);
  }
}

void ds18b20_cases() {
  const uint16_t raws[] = {0x0550, 0x0191, 0x00A2, 0x0008, 0x0000, 0xFFF8, 0xFF5E, 0xFE6F, 0xFC90, 0x07D0, 0x0001};
  const uint8_t configs[] = {0x1F, 0x3F, 0x5F, 0x7F};
  for (uint16_t raw : raws) {
    for (uint8_t config : configs) {
      line("ds18b20 %04x %02x = %s", raw, config, bits(TM_DS18B20_Convert(raw, config)).text);
    }
  }
}

struct SecondCase {
  uint8_t on_lpg;
  double pb, last_pb, dist_pb, last_dist_pb;
  double lpg, last_lpg, dist_lpg, last_dist_lpg;
  uint32_t tick_pb, last_tick_pb, tick_lpg, last_tick_lpg;
  int rpm_in;
  uint32_t now, last_speed_tick;
  float speed_in, target, last_error, d_gain;
  struct bc channel;
  int pb_cap, lpg_cap;
  float pb_level, lpg_level;
};

void per_second_cases() {
  const SecondCase cases[] = {
      // Petrol, driving: 2 ml over 20 m.
      {0, 12.3456, 12.3436, 1234.567, 1234.547, 3.5, 3.5, 100.25, 100.25, 5, 4, 0, 0, 2210, 100000, 99500, 87.3f,
       90.0f, 1.5f, 0.7f, {100.1, 523.7, 41.3, 12.9}, 45, 30, 0.63f, 0.21f},
      // LPG at a standstill: fuel without distance.
      {1, 20.0, 20.0, 500.0, 500.0, 7.77, 7.7691, 250.0, 250.0, 9, 9, 17, 16, 850, 5000, 3000, 12.0f, 0.0f, 0.0f,
       0.5f, {0.0, 0.0, 0.0, 0.0}, 50, 40, 0.5f, 0.95f},
      // Engine stopped below 1300 rev/min, speed timed out.
      {0, 1.0, 1.0, 10.0, 10.0, 0.0, 0.0, 0.0, 0.0, 3, 3, 0, 0, 1200, 70000, 68000, 33.0f, 50.0f, -3.25f, 1.0f,
       {1.0, 2.0, 0.1, 0.3}, 60, 5, 0.0f, 1.0f},
      // Fuel cut-off: no injection at high speed; a channel of LPG only.
      {0, 40.1, 40.1, 900.0, 899.97, 11.0, 11.0, 300.0, 300.0, 8, 8, 1, 1, 3000, 123456, 123400, 108.5f, 110.0f,
       2.0f, 0.25f, {33.3, 0.0, 0.0, 2.5}, 45, 30, 0.1f, 0.3f},
  };
  int n = 0;
  for (const SecondCase& c : cases) {
    IsOnLpg = c.on_lpg;
    pbcons = c.pb;
    lastpbcons = c.last_pb;
    distpb = c.dist_pb;
    lastdistpb = c.last_dist_pb;
    lpgcons = c.lpg;
    lastlpgcons = c.last_lpg;
    distlpg = c.dist_lpg;
    lastdistlpg = c.last_dist_lpg;
    rpmtickpb = c.tick_pb;
    lastrpmtickpb = c.last_tick_pb;
    rpmticklpg = c.tick_lpg;
    lastrpmticklpg = c.last_tick_lpg;
    rpm = c.rpm_in;
    injtime = 3.75f;
    TM_DELAY_SetTime(c.now);
    lastspdtick = c.last_speed_tick;
    speed = c.speed_in;
    targetspeed = c.target;
    lasterror = c.last_error;
    cc_Dgain = c.d_gain;
    ch[1] = c.channel;
    active_ch = 2;
    pbcap = c.pb_cap;
    lpgcap = c.lpg_cap;
    pblvl = c.pb_level;
    lpglvl = c.lpg_level;
    OneSecInt();
    line("second %d instcons %s instconsph %s rpm %d injtime %s speed %s", n, bits(instcons).text,
         bits(instconsph).text, (int)rpm, bits(injtime).text, bits(speed).text);
    line("second %d avg %s %s range %s %s derivative %s lasterror %s", n,
         bits(avgpbcons).text, bits(avglpgcons).text, bits(pbrange).text,
         bits(lpgrange).text, bits(cc_derivative).text, bits(lasterror).text);
    n++;
  }
}

void integrity_cases() {
  const double nan_d = (double)from_bits(0x7FC00000U);
  LPG_CAL = 12.5f;
  PB_CAL = 0.05f;
  SPD_CAL = 7.25f;
  Voltage_CAL = from_bits(0x7FC00000U);
  distlpg = 10.0;
  distpb = nan_d;
  ch[0] = {1.0, 2.0, 3.0, 4.0};
  ch[1] = {nan_d, 0.0, 0.0, 0.0};
  ch[2] = {5.5, 6.5, 7.5, 8.5};
  lpgcap = 301;
  pbcap = 45;
  const int errors = check_eeprom_integrity();
  line("integrity errors %d cal %s %s %s %s caps %d %d", errors, bits(LPG_CAL).text,
       bits(PB_CAL).text, bits(SPD_CAL).text, bits(Voltage_CAL).text, lpgcap, pbcap);
  line("integrity totals %s %s ch %s %s %s", bits(distlpg).text, bits(distpb).text, bits(ch[0].distpb).text,
       bits(ch[1].distlpg).text, bits(ch[2].lpgcons).text);
}

void cruise_cases() {
  ccenable = 1;
  targetspeed = 100.0f;
  cc_Pgain = 1.5f;
  cc_Igain = 0.8f;
  cc_integral = 0.0f;
  cc_derivative = 0.03f;
  const float speeds[] = {80.0f, 82.5f, 85.1f, 88.0f, 91.3f, 94.0f, 96.6f, 98.2f, 99.4f, 100.3f,
                          101.2f, 100.8f, 100.1f, 99.7f, 99.9f, 120.0f, 0.0f, 45.0f, 0.0f, 70.0f};
  int n = 0;
  for (float v : speeds) {
    speed = v;
    CriuseControlInterrupt();
    line("cruise %d enable %d target %s integral %s throttle %s", n++, (int)ccenable,
         bits(targetspeed).text, bits(cc_integral).text, bits(ccthr).text);
  }
}

// Texts as the screens write them, through the firmware's formatting.
void format_cases() {
  const double values[] = {0.0,       -0.0,     1.005,    2.675,   0.125,     0.375,   -0.125,  99.995,  1e9,
                           123.456,   -7.5,     0.0049,   65.5,    3.14159,   1e-7,    12345.678, 0.5,   1.5,
                           2.5,       (double)from_bits(0x7FC00000U), (double)from_bits(0xFFC00000U),
                           (double)from_bits(0x7F800000U), (double)from_bits(0xFF800000U)};
  const char* formats[] = {"%.2f", "%.1f", "%5.1f ", "%-6.0f|", "%.3f"};
  for (const char* f : formats) {
    for (double v : values) {
      char text[64];
      format_number(text, sizeof text, f, v);
      line("format \"%s\" %s \"%s\"", f, bits(v).text, text);
    }
  }
  // Single-precision figures as the screens print them.
  const float floats[] = {14.999999f, 0.1f, 7.2f, 99.0f, 0.05f, 1234.5f, 5.555f};
  for (float v : floats) {
    char text[64];
    snprintf(text, sizeof text, "%.1f %.2f %4.0f", (double)v, (double)v, (double)v);
    line("printf %s \"%s\"", bits(v).text, text);
  }
}

}  // namespace

void figures_table(figures_emit_fn emit) {
  out = emit;
  map_cases();
  ds18b20_cases();
  per_second_cases();
  integrity_cases();
  cruise_cases();
  format_cases();
}
