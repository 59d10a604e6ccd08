// Virtual time in tests, and the board's clocks started as its set-up
// starts them.
#pragma once

#include "board_setup.h"
#include "host/machine.h"

namespace test {

using host::Time;

inline Time ms(double v) { return host::from_ms(v); }
inline Time us(double v) { return host::from_us(v); }
inline Time s(double v) { return host::from_seconds(v); }
// Virtual time of the machine that runs, read from either side.
inline Time now() { return host::Machine::current().now(); }

// Clocks and the HAL tick as the board sets them up (from firmware code).
inline void board_clocks() {
  HAL_Init();
  SystemClock_Config();
}

}  // namespace test
