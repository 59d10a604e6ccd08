// The report of a finished run: one HTML page that needs nothing but itself
// (the charting library, the charts, the pictures and the data are inside):
// plots of the trace, the displays' pictures, the EEPROM record decoded, and
// the unit's distance and fuel per fuel against the world's truth.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/record_layout.h"

namespace sim {

// A run directory that cannot be reported: missing, not a run, unreadable.
class ReportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The unit's live totals (distpb, distlpg, pbcons, lpgcons) start again from
// 0 at every power-up. Added up over the run's power-ups they compare with
// the world's truth, which counts from the start of the run. A power-up is
// seen as a line without the globals (the board unpowered) or a total that
// went down; the same rule is in the charts (kp-charts.js).
class SessionTotals {
 public:
  static constexpr const char* kKeys[4] = {"distpb", "distlpg", "pbcons", "lpgcons"};
  // A trace line (or final.json): its globals if it has them.
  void add(const nlohmann::json& row);
  // The last moment of the unit's latest power-up (final.json of a run that
  // ended unpowered): a continuation, unless a total went down.
  void add_last_powered(const nlohmann::json& row);
  // Total of one key (index into kKeys) over all power-ups so far.
  double total(int key) const { return base_[key] + last_[key]; }

 private:
  void take(const nlohmann::json& row, bool continues);
  double base_[4] = {0, 0, 0, 0};
  double last_[4] = {0, 0, 0, 0};
  bool broken_ = true;
};

struct Comparison {
  std::string quantity;  // "distance" or "fuel used"
  std::string fuel;      // "petrol" or "LPG"
  std::string unit;      // "km" or "l"
  double measured = 0;   // by the unit, over its power-ups
  double truth = 0;      // the world's
  // (measured - truth) / truth in percent; none when the truth is 0 (or not
  // a number): nothing to take a percentage of.
  std::optional<double> error_percent;
};

// Distance and fuel per fuel, measured against true, at the end of the run.
// `rows`: the trace lines; `final_record`: final.json (null when missing).
std::vector<Comparison> compare_totals(const std::vector<nlohmann::json>& rows, const nlohmann::json& final_record);
// The error column: "+1.23 %", "-0.50 %", or a dash with why when there is none.
std::string error_text(const Comparison& c);

struct RunFiles {
  std::vector<nlohmann::json> rows;  // trace.jsonl's lines, cut to the values the report uses
  nlohmann::json final_record;       // final.json, null when missing
  struct Picture {
    std::string snapshot;  // "mid", "final"
    std::string display;   // "tft", "oled"
    std::string png;       // the file's bytes
  };
  std::vector<Picture> pictures;             // by snapshot in name order, "final" last
  std::optional<record::Image> eeprom;       // eeprom.bin
};

// Reads what a run wrote; ReportError for a directory that is not a run.
RunFiles read_run(const std::string& dir);
// The page. `title` heads it.
std::string report_html(const RunFiles& run, const std::string& title);
// Reads `dir` and writes its report to `out` (whole or not at all).
void write_report(const std::string& dir, const std::string& out, const std::string& title);

}  // namespace sim
