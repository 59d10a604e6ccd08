// Files built into the programs (sim/assets and Debian's Chart.js): the
// report inlines them, so a page needs no network and no other file.
#pragma once

#include <optional>
#include <string_view>

namespace sim {

// By file name: "chart.min.js" (Chart.js), "kp-charts.js", "report.css".
std::optional<std::string_view> asset(std::string_view name);

}  // namespace sim
