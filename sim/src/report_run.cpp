// Reading what a run wrote into its directory, for its report.
#include <algorithm>
#include <filesystem>
#include <map>
#include <utility>

#include "sim/eeprom_world.h"
#include "sim/files.h"
#include "sim/message_text.h"
#include "sim/report.h"
#include "sim/scenario.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxTrace = std::size_t{1} << 30;
constexpr std::size_t kMaxFile = std::size_t{64} << 20;

std::string read(const fs::path& p, const std::string& what, std::size_t limit) {
  try {
    return read_regular_file(p.string(), what, limit);
  } catch (const ScenarioError& e) {
    throw ReportError(e.what());
  }
}

nlohmann::json parse(const std::string& text, const fs::path& p, std::size_t line) {
  try {
    return nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception&) {
    throw ReportError(printable(p.string(), 160) + (line ? ": line " + std::to_string(line) : std::string()) +
                      ": not JSON; is this a directory kp-sim run wrote?");
  }
}

// "tft-mid.png" -> {"tft", "mid"}
bool picture_name(const std::string& file, std::string& display, std::string& snapshot) {
  for (const char* d : {"tft", "oled"}) {
    const std::string prefix = std::string(d) + "-";
    if (file.size() > prefix.size() + 4 && file.compare(0, prefix.size(), prefix) == 0 &&
        file.compare(file.size() - 4, 4, ".png") == 0) {
      display = d;
      snapshot = file.substr(prefix.size(), file.size() - prefix.size() - 4);
      return true;
    }
  }
  return false;
}

// A trace line cut to what the report uses, in the same shape.
nlohmann::json slim(const nlohmann::json& row) {
  static const char* kTop[] = {"t",         "speed",      "rpm",     "IsOnLpg", "instcons", "instconsph",
                               "avgpbcons", "avglpgcons", "pblvl",   "lpglvl",  "distpb",   "distlpg",
                               "pbcons",    "lpgcons",    "pbrange", "lpgrange"};
  static const char* kWorld[] = {"speed_kmh",     "rpm",        "fuel",          "distance_petrol_km",
                                 "distance_lpg_km", "fuel_petrol_l", "fuel_lpg_l", "tank_petrol_l",
                                 "tank_lpg_l"};
  nlohmann::json out = nlohmann::json::object();
  if (!row.is_object()) return out;
  for (const char* k : kTop)
    if (row.contains(k)) out[k] = row[k];
  if (row.contains("pins") && row["pins"].is_object() && row["pins"].contains("powered"))
    out["pins"]["powered"] = row["pins"]["powered"];
  if (row.contains("world") && row["world"].is_object()) {
    out["world"] = nlohmann::json::object();
    for (const char* k : kWorld)
      if (row["world"].contains(k)) out["world"][k] = row["world"][k];
  }
  return out;
}

}  // namespace

RunFiles read_run(const std::string& dir) {
  std::error_code ec;
  const fs::file_status st = fs::status(dir, ec);
  if (!fs::exists(st)) throw ReportError(printable(dir, 160) + ": no such directory");
  if (!fs::is_directory(st)) throw ReportError(printable(dir, 160) + ": not a directory");
  const fs::path root(dir);
  if (!fs::exists(fs::symlink_status(root / "trace.jsonl", ec)))
    throw ReportError(printable(dir, 160) + ": not a run's directory (it has no trace.jsonl; kp-sim run writes one)");

  RunFiles run;
  const fs::path trace = root / "trace.jsonl";
  const std::string text = read(trace, "trace", kMaxTrace);
  std::size_t line = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    ++line;
    if (end > pos) run.rows.push_back(slim(parse(text.substr(pos, end - pos), trace, line)));
    pos = end + 1;
  }
  if (fs::exists(fs::symlink_status(root / "final.json", ec)))
    run.final_record = parse(read(root / "final.json", "final record", kMaxFile), root / "final.json", 0);

  std::map<std::string, std::map<std::string, std::string>> shots;  // snapshot -> display -> png
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::string display, snapshot;
    const std::string name = it->path().filename().string();
    std::error_code file_ec;
    if (picture_name(name, display, snapshot) && it->is_regular_file(file_ec)) shots[snapshot][display] = read(it->path(), "picture", kMaxFile);
  }
  if (ec) throw ReportError(printable(dir, 160) + ": " + ec.message());
  // In the order the run took them: by the time in each snapshot's state
  // file (by name where there is none), the end's last.
  std::vector<std::pair<double, std::string>> taken;
  for (const auto& s : shots) {
    if (s.first == "final") continue;
    double t = 1e300;
    const fs::path state = root / ("state-" + s.first + ".json");
    if (fs::is_regular_file(state, ec)) {
      const nlohmann::json j = parse(read(state, "state file", kMaxFile), state, 0);
      if (j.is_object() && j.contains("t") && j["t"].is_number()) t = j["t"].get<double>();
    }
    taken.emplace_back(t, s.first);
  }
  std::sort(taken.begin(), taken.end());
  std::vector<std::string> order;
  for (const auto& s : taken) order.push_back(s.second);
  if (shots.count("final")) order.push_back("final");
  for (const std::string& s : order)
    for (const char* d : {"tft", "oled"})
      if (shots[s].count(d)) run.pictures.push_back({s, d, shots[s][d]});

  if (fs::exists(fs::symlink_status(root / "eeprom.bin", ec))) {
    try {
      run.eeprom = read_eeprom_image((root / "eeprom.bin").string(), MissingImage::Refuse);
    } catch (const ScenarioError& e) {
      throw ReportError(e.what());
    }
  }
  return run;
}

void write_report(const std::string& dir, const std::string& out, const std::string& title) {
  write_file(out, report_html(read_run(dir), title));
}

}  // namespace sim
