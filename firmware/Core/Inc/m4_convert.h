// Floating-point to integer conversions as the Cortex-M4 makes them: toward
// zero, saturating at the limits of the result, not-a-number to 0, and a
// negative value to 0 for an unsigned result. C++ leaves those cases
// undefined, so the firmware converts through these wherever they can occur.
// Single-precision values stay in single precision.
#pragma once

#include <stdint.h>

inline int32_t m4_float_to_int32(float x) {
  if (!(x == x)) return 0;
  if (x >= 2147483648.0f) return INT32_MAX;
  if (x <= -2147483648.0f) return INT32_MIN;
  return (int32_t)x;
}

inline uint32_t m4_float_to_uint32(float x) {
  if (!(x > 0.0f)) return 0U;
  if (x >= 4294967296.0f) return UINT32_MAX;
  return (uint32_t)x;
}

inline uint32_t m4_double_to_uint32(double x) {
  if (!(x > 0.0)) return 0U;
  if (x >= 4294967296.0) return UINT32_MAX;
  return (uint32_t)x;
}
