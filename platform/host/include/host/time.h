// Virtual time of the simulated board.
//
// One unit is one core clock cycle at 100 MHz (10 ns). The host clock is never
// read by the simulation: everything that happens is placed on this axis.
#pragma once

#include <cstdint>
#include <limits>

namespace host {

using Time = std::uint64_t;

inline constexpr Time kTimePerSecond = 100'000'000;
inline constexpr Time kTimePerMs = kTimePerSecond / 1000;
inline constexpr Time kTimePerUs = kTimePerSecond / 1'000'000;
inline constexpr Time kNever = std::numeric_limits<Time>::max();

constexpr Time from_seconds(double s) { return static_cast<Time>(s * static_cast<double>(kTimePerSecond) + 0.5); }
constexpr Time from_ms(double ms) { return static_cast<Time>(ms * static_cast<double>(kTimePerMs) + 0.5); }
constexpr Time from_us(double us) { return static_cast<Time>(us * static_cast<double>(kTimePerUs) + 0.5); }
constexpr double to_seconds(Time t) { return static_cast<double>(t) / static_cast<double>(kTimePerSecond); }
constexpr double to_ms(Time t) { return static_cast<double>(t) / static_cast<double>(kTimePerMs); }

}  // namespace host
