// The JSON types of the simulator and how it writes numbers.
#pragma once

#include <nlohmann/json.hpp>

namespace sim {

using json = nlohmann::json;
// JSON that keeps its keys in the order written (traces read better so).
using ojson = nlohmann::ordered_json;

// A number as JSON: floats by their shortest decimal form; infinities and
// not-a-number, which JSON has no numbers for, as the strings "Infinity",
// "-Infinity" and "NaN".
ojson json_number(double v);
ojson json_number(float v);

}  // namespace sim
