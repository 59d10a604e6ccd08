#include "sim/session.h"

#include <cctype>
#include <filesystem>

#include "sim/eeprom_world.h"
#include "sim/files.h"
#include "sim/ili9488.h"
#include "sim/png.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxScenarioBytes = 16u << 20;

std::string folded(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The timeline entries of a scenario document that are steps (not waits),
// in order: they match the parsed scenario's steps one to one.
std::vector<const json*> step_entries(const json& doc) {
  std::vector<const json*> out;
  if (!doc.contains("steps")) return out;
  for (const json& e : doc["steps"])
    if (!e.contains("wait")) out.push_back(&e);
  return out;
}

// The entry's action: its one field besides "at".
std::pair<std::string, const json*> action_of(const json& entry) {
  for (auto it = entry.begin(); it != entry.end(); ++it)
    if (it.key() != "at") return {it.key(), &it.value()};
  return {"", nullptr};
}

Scenario parse_start(const SessionStart& s) {
  json doc = s.doc;
  // A session goes on without an end: a placeholder gives the reader one.
  if (step_entries(doc).empty() && (!doc.contains("steps") || doc["steps"].empty()))
    doc["steps"] = json::array({json{{"wait", 1}}});
  Scenario sc = parse_scenario(doc.dump(), s.source);
  if (sc.name.empty()) sc.name = s.name;
  return sc;
}

}  // namespace

SessionStart session_start(const std::optional<std::string>& name_or_path) {
  SessionStart s;
  if (!name_or_path) {
    s.doc = json{{"steps", json::array()}};
    s.source = "session";
    s.name = "session";
    return s;
  }
  const Scenario checked = resolve_scenario(*name_or_path);  // the messages of `kp-sim run`
  s.name = checked.name;
  s.source = checked.source;
  if (const BuiltinScenario* b = find_builtin(*name_or_path)) {
    s.doc = parse_json_strictly(b->json);
  } else {
    s.doc = parse_json_strictly(read_regular_file(*name_or_path, "scenario file", kMaxScenarioBytes));
  }
  return s;
}

Session::Session(SessionStart start, RunOptions options) : start_(std::move(start)), options_(std::move(options)) {
  build();
}

void Session::build() {
  runner_.reset();  // one machine at a time
  const Scenario sc = parse_start(start_);
  snapshot_names_.clear();
  for (const json* e : step_entries(start_.doc)) {
    const auto [kind, value] = action_of(*e);
    if (kind == "snapshot" && value->is_string()) snapshot_names_.insert(folded(value->get<std::string>()));
  }
  runner_ = std::make_unique<Runner>(sc, options_);
}

void Session::apply(const Command& c) {
  if (c.kind == "snapshot") {
    const std::string name = c.value.get<std::string>();
    if (!snapshot_names_.insert(folded(name)).second)
      throw ScenarioError("snapshot: the name \"" + name + "\" is taken in this session (its files would be overwritten)");
  }
  runner_->apply_command(c.kind, c.value, *c.action);
}

void Session::eeprom_stops_answering() {
  auto* part = runner_->world().part<EepromPart>();
  if (part == nullptr) throw ScenarioError("eeprom: this unit has no EEPROM chip");
  json& e = start_.doc["eeprom"];
  if (!e.is_object()) e = json::object();
  const double now = host::to_seconds(runner_->now());
  if (e.contains("stops_answering_at") && e["stops_answering_at"].get<double>() <= now) return;  // already so
  e["stops_answering_at"] = now;
  part->chip().stop_answering_at(runner_->now());
}

void Session::restart(bool oled_present) {
  json& o = start_.doc["oled"];
  if (!o.is_object()) o = json::object();
  o["present"] = oled_present;
  build();
}

json Session::document(const std::string& image_file) const {
  const Scenario& sc = runner_->scenario();
  ojson d;
  d["name"] = "session";
  d["description"] = "A session recorded with kp-sim serve, started from " + start_.source + ".";
  for (auto it = start_.doc.begin(); it != start_.doc.end(); ++it) {
    const std::string& k = it.key();
    if (k == "name" || k == "description" || k == "steps" || k == "eeprom") continue;
    d[k] = it.value();
  }
  // The chip as it started: its image in a file of its own (a record or an
  // image given with --eeprom are in it), its faults as they were set.
  ojson e;
  if (!sc.eeprom.present) e["present"] = false;
  if (sc.eeprom.image && !image_file.empty()) e["image_file"] = image_file;
  if (start_.doc.contains("eeprom") && start_.doc["eeprom"].contains("stops_answering_at"))
    e["stops_answering_at"] = start_.doc["eeprom"]["stops_answering_at"];
  if (!e.empty()) d["eeprom"] = e;

  // The timeline's steps that took effect and the commands, in the order
  // they were applied (at one time, the timeline's steps came first).
  ojson steps = ojson::array();
  const std::vector<const json*> entries = step_entries(start_.doc);
  const std::size_t fired = runner_->timeline_steps_applied();
  const auto& commands = runner_->applied_commands();
  std::size_t i = 0, j = 0;
  while (i < fired || j < commands.size()) {
    const bool from_timeline = i < fired && (j == commands.size() || host::from_seconds(sc.steps[i].at) <= commands[j].at);
    ojson step;
    if (from_timeline) {
      step["at"] = sc.steps[i].at;
      step[sc.steps[i].kind] = *action_of(*entries[i]).second;
      ++i;
    } else {
      step["at"] = host::to_seconds(commands[j].at);
      step[commands[j].kind] = commands[j].value;
      ++j;
    }
    steps.push_back(step);
  }
  steps.push_back(ojson{{"at", host::to_seconds(runner_->now())}, {"wait", 0}});
  d["steps"] = steps;
  return json::parse(d.dump());  // keeps no order; format() writes it in a fixed one
}

std::string Session::format(const json& document) {
  // The fields first, then one step a line.
  std::string out = "{\n";
  const char* order[] = {"name", "description", "trace_interval"};
  bool first = true;
  auto field = [&](const std::string& k, const json& v) {
    out += (first ? "  " : ",\n  ") + json(k).dump() + ": " + v.dump();
    first = false;
  };
  for (const char* k : order)
    if (document.contains(k)) field(k, document[k]);
  for (auto it = document.begin(); it != document.end(); ++it) {
    const std::string& k = it.key();
    if (k == "name" || k == "description" || k == "trace_interval" || k == "steps") continue;
    field(k, it.value());
  }
  out += std::string(first ? "  " : ",\n  ") + "\"steps\": [";
  const json& steps = document["steps"];
  for (std::size_t i = 0; i < steps.size(); ++i) {
    // "at" first, then the action.
    ojson s;
    if (steps[i].contains("at")) s["at"] = steps[i]["at"];
    for (auto it = steps[i].begin(); it != steps[i].end(); ++it)
      if (it.key() != "at") s[it.key()] = it.value();
    out += (i ? ",\n    " : "\n    ") + s.dump();
  }
  out += "\n  ]\n}\n";
  return out;
}

SavedSession Session::save(const std::string& dir, const std::string& base) {
  if (runner_->now() == 0) throw ScenarioError("save: the session has not run yet; nothing to save");
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir)) throw RunError("cannot create the folder " + dir + (ec ? ": " + ec.message() : ""));
  const Scenario& sc = runner_->scenario();
  const std::string image = sc.eeprom.image ? base + "-eeprom.bin" : "";
  if (!image.empty()) write_eeprom_image((fs::path(dir) / image).string(), *sc.eeprom.image);
  SavedSession saved;
  saved.scenario_file = (fs::path(dir) / (base + ".json")).string();
  saved.tft_file = (fs::path(dir) / (base + "-tft.png")).string();
  const json doc = document(image);
  write_file(saved.scenario_file, format(doc));
  if (auto* tft = runner_->world().part<TftDisplay>()) write_png(saved.tft_file, tft->panel.picture());
  const Scenario back = load_scenario_file(saved.scenario_file);  // readable as written
  saved.at = back.end;
  saved.steps = back.steps.size();
  return saved;
}

}  // namespace sim
