// Non-finite figures are written here, once for every screen: C libraries
// differ on them (a not-a-number with its sign bit set is "-nan" on some and
// "nan" on others), and a screen must read the same in the simulator as in
// the car.
#include "number_format.h"

#include <math.h>
#include <stdio.h>

#pragma GCC diagnostic ignored "-Wformat-nonliteral"

namespace {

const char* non_finite_text(double value) {
  if (isnan(value)) {
    return "nan";
  }
  return value < 0.0 ? "-inf" : "inf";
}

// Rewrites the format's first conversion as a string conversion with the
// same '-' flag and width. False when the format has no conversion or is too
// long for `out`.
bool as_string_format(const char* format, char* out, size_t size) {
  size_t o = 0;
  const char* p = format;
  auto put = [&](char c) {
    if (o + 1 >= size) {
      return false;
    }
    out[o++] = c;
    return true;
  };
  // Up to the conversion's '%' ("%%" is a literal '%').
  while (*p != '\0' && !(p[0] == '%' && p[1] != '%')) {
    if (p[0] == '%') {
      if (!put('%')) return false;
      p++;
    }
    if (!put(*p++)) return false;
  }
  if (*p == '\0') {
    return false;
  }
  if (!put(*p++)) return false;  // '%'
  while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') {
    if (*p == '-' && !put('-')) return false;
    p++;
  }
  while (*p >= '0' && *p <= '9') {
    if (!put(*p++)) return false;
  }
  if (*p == '.') {
    p++;
    while (*p >= '0' && *p <= '9') p++;
  }
  if (*p == 'l' || *p == 'L') {
    p++;
  }
  if (*p == '\0' || !put('s')) {
    return false;
  }
  p++;  // the conversion letter
  while (*p != '\0') {
    if (!put(*p++)) return false;
  }
  out[o] = '\0';
  return true;
}

}  // namespace

void format_number(char* out, size_t size, const char* format, double value) {
  if (isfinite(value)) {
    snprintf(out, size, format, value);
    return;
  }
  char text_format[64];
  if (as_string_format(format, text_format, sizeof text_format)) {
    snprintf(out, size, text_format, non_finite_text(value));
  } else {
    snprintf(out, size, "%s", non_finite_text(value));
  }
}
