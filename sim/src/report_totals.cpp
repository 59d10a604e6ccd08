// The unit's totals per fuel over a run's power-ups, against the truth.
#include <cmath>
#include <cstdio>

#include "sim/report.h"

namespace sim {

namespace {
bool has_totals(const nlohmann::json& row) {
  if (!row.is_object()) return false;
  for (const char* k : SessionTotals::kKeys)
    if (!row.contains(k) || !row[k].is_number()) return false;
  return true;
}
}  // namespace

void SessionTotals::take(const nlohmann::json& row, bool continues) {
  bool fell = false;
  for (int i = 0; i < 4; ++i) fell = fell || row[kKeys[i]].get<double>() < last_[i];
  if (!continues || fell) {
    for (int i = 0; i < 4; ++i) base_[i] += last_[i];
  }
  for (int i = 0; i < 4; ++i) last_[i] = row[kKeys[i]].get<double>();
  broken_ = false;
}

void SessionTotals::add(const nlohmann::json& row) {
  if (!has_totals(row)) {
    broken_ = true;  // unpowered: the next globals are a new power-up's
    return;
  }
  take(row, !broken_);
}

void SessionTotals::add_last_powered(const nlohmann::json& row) {
  if (has_totals(row)) take(row, true);
}

std::vector<Comparison> compare_totals(const std::vector<nlohmann::json>& rows, const nlohmann::json& final_record) {
  SessionTotals totals;
  for (const auto& r : rows) totals.add(r);
  const bool ended_unpowered = final_record.is_object() && final_record.value("ended_unpowered", false);
  if (ended_unpowered) totals.add_last_powered(final_record);
  else if (final_record.is_object()) totals.add(final_record);

  // The truth at the end: final.json's, or the last trace line's.
  nlohmann::json world;
  if (final_record.is_object() && final_record.contains("world")) world = final_record["world"];
  else if (!rows.empty() && rows.back().contains("world")) world = rows.back()["world"];
  auto truth = [&](const char* key) {
    return world.is_object() && world.contains(key) && world[key].is_number() ? world[key].get<double>() : 0.0;
  };
  struct Line {
    const char* quantity;
    const char* fuel;
    const char* unit;
    int key;
    const char* world_key;
  };
  static const Line kLines[] = {{"distance", "petrol", "km", 0, "distance_petrol_km"},
                                {"distance", "LPG", "km", 1, "distance_lpg_km"},
                                {"fuel used", "petrol", "l", 2, "fuel_petrol_l"},
                                {"fuel used", "LPG", "l", 3, "fuel_lpg_l"}};
  std::vector<Comparison> out;
  for (const Line& l : kLines) {
    Comparison c{l.quantity, l.fuel, l.unit, totals.total(l.key), truth(l.world_key), std::nullopt};
    if (c.truth != 0 && std::isfinite(c.truth) && std::isfinite(c.measured))
      c.error_percent = (c.measured - c.truth) / c.truth * 100.0;
    out.push_back(c);
  }
  return out;
}

std::string error_text(const Comparison& c) {
  char b[64];
  if (c.error_percent) {
    std::snprintf(b, sizeof b, "%+.2f %%", *c.error_percent);
    return b;
  }
  if (c.truth == 0) return c.measured == 0 ? "- (both 0)" : "- (true value 0)";
  return "- (not a number)";
}

}  // namespace sim
