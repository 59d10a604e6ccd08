#include "sim/scenario_reader.h"

#include <cmath>
#include <cstdint>
#include <sstream>

#include "sim/message_text.h"

namespace sim {

namespace {
std::string range(double lo, double hi) {
  std::ostringstream o;
  o << lo << ".." << hi;
  return o.str();
}
}  // namespace

void ScenarioReader::fail(const std::string& place, const std::string& problem) const {
  throw ScenarioError(
      one_line(printable(source_, 160) + ": " + (place.empty() ? std::string("top level") : place) + ": " + problem));
}

std::string ScenarioReader::kind(const json& v) {
  switch (v.type()) {
    case json::value_t::object: return "an object";
    case json::value_t::array: return "a list";
    case json::value_t::string: return "a string";
    case json::value_t::boolean: return "true/false";
    case json::value_t::null: return "null";
    default: return "a number";
  }
}

const json& ScenarioReader::object(const json& v, const std::string& place) const {
  if (!v.is_object()) fail(place, "expected an object, found " + kind(v));
  return v;
}

void ScenarioReader::only_keys(const json& obj, const std::string& place,
                               std::initializer_list<const char*> allowed) const {
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    bool ok = false;
    for (const char* a : allowed) ok = ok || it.key() == a;
    if (!ok) {
      std::string list;
      for (const char* a : allowed) list += std::string(list.empty() ? "" : ", ") + a;
      fail(join(place, printable(it.key())), "unknown field (expected one of: " + list + ")");
    }
  }
}

double ScenarioReader::number(const json& v, const std::string& place, double lo, double hi) const {
  if (!v.is_number()) fail(place, "expected a number, found " + kind(v));
  const double d = v.get<double>();
  if (!std::isfinite(d) || d < lo || d > hi) fail(place, "value " + v.dump() + " out of range " + range(lo, hi));
  return d;
}

int ScenarioReader::integer(const json& v, const std::string& place, int lo, int hi) const {
  if (!v.is_number_integer()) fail(place, "expected a whole number, found " + (v.is_number() ? v.dump() : kind(v)));
  // Whole numbers from 0 up are held unsigned; read as signed, those at or
  // above 2^63 would wrap to negative ones.
  const bool huge =
      v.is_number_unsigned() && (hi < 0 || v.get<std::uint64_t>() > static_cast<std::uint64_t>(hi));
  const auto i = huge ? static_cast<long long>(hi) + 1 : v.get<long long>();
  if (i < lo || i > hi) fail(place, "value " + v.dump() + " out of range " + range(lo, hi));
  return static_cast<int>(i);
}

bool ScenarioReader::boolean(const json& v, const std::string& place) const {
  if (!v.is_boolean()) fail(place, "expected true or false, found " + kind(v));
  return v.get<bool>();
}

std::string ScenarioReader::string(const json& v, const std::string& place) const {
  if (!v.is_string()) fail(place, "expected a string, found " + kind(v));
  return v.get<std::string>();
}

std::string ScenarioReader::choice(const json& v, const std::string& place,
                                   std::initializer_list<const char*> words) const {
  const std::string s = string(v, place);
  std::string list;
  for (const char* w : words) {
    if (s == w) return s;
    list += std::string(list.empty() ? "" : ", ") + w;
  }
  fail(place, "\"" + printable(s) + "\" is not one of " + list);
}

double ScenarioReader::number_or(const json& obj, const std::string& place, const char* key, double lo, double hi,
                                 double fallback) const {
  return obj.contains(key) ? number(obj[key], join(place, key), lo, hi) : fallback;
}

int ScenarioReader::integer_or(const json& obj, const std::string& place, const char* key, int lo, int hi,
                               int fallback) const {
  return obj.contains(key) ? integer(obj[key], join(place, key), lo, hi) : fallback;
}

bool ScenarioReader::boolean_or(const json& obj, const std::string& place, const char* key, bool fallback) const {
  return obj.contains(key) ? boolean(obj[key], join(place, key)) : fallback;
}

Fuel read_fuel(const ScenarioReader& r, const json& v, const std::string& place) {
  return r.choice(v, place, {"petrol", "lpg"}) == "lpg" ? Fuel::Lpg : Fuel::Petrol;
}

}  // namespace sim
