#pragma once

#include <nlohmann/json.hpp>

namespace sim {
// JSON that keeps its keys in the order written (traces read better so).
using ojson = nlohmann::ordered_json;
}  // namespace sim
