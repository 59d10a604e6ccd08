#include "sim/json.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace sim {

namespace {

template <typename T>
ojson shortest(T v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  char text[64];
  auto r = std::to_chars(text, text + sizeof text, v);
  double d = 0;
  std::from_chars(text, r.ptr, d);
  // The double nearest the shortest decimal form prints as that form.
  if (d == std::floor(d) && std::abs(d) < 9.0e15) return static_cast<std::int64_t>(d);
  return d;
}

}  // namespace

ojson json_number(double v) { return shortest(v); }
ojson json_number(float v) { return shortest(v); }

}  // namespace sim
