// Durations the models compute in floating point, as virtual time. A model
// can ask for a time the clock cannot hold (an engine turning once in ten
// thousand years, a car creeping at 1e-12 km/h): that is "never", not an
// undefined conversion that wraps to some time soon.
#pragma once

#include <cmath>

#include "host/time.h"

namespace sim {

// A count of ticks as virtual time, toward zero: 0 for none, negative or
// not-a-number counts, host::kNever from where the clock overflows.
inline host::Time clock_ticks(double ticks) {
  if (!(ticks > 0)) return 0;
  // 2^64 is the first double past the clock's range.
  if (!(ticks < 18446744073709551616.0)) return host::kNever;
  return static_cast<host::Time>(ticks);
}

// Seconds as virtual time, rounded up to the next tick (see clock_ticks).
inline host::Time ticks_after(double seconds) {
  return clock_ticks(std::ceil(seconds * static_cast<double>(host::kTimePerSecond)));
}

// t + d, or host::kNever when that is past the clock's range.
inline host::Time later(host::Time t, host::Time d) {
  return d >= host::kNever - t ? host::kNever : t + d;
}

}  // namespace sim
