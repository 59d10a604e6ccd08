// Reading a scenario's JSON with the path to each value kept, so that every
// complaint names the file and the place in it.
#pragma once

#include <initializer_list>
#include <string>

#include "sim/json.h"
#include "sim/scenario.h"

namespace sim {

class ScenarioReader {
 public:
  explicit ScenarioReader(std::string source) : source_(std::move(source)) {}

  [[noreturn]] void fail(const std::string& place, const std::string& problem) const;

  const json& object(const json& v, const std::string& place) const;
  // Refuses any field not in the list.
  void only_keys(const json& obj, const std::string& place, std::initializer_list<const char*> allowed) const;
  double number(const json& v, const std::string& place, double lo, double hi) const;
  int integer(const json& v, const std::string& place, int lo, int hi) const;
  bool boolean(const json& v, const std::string& place) const;
  std::string string(const json& v, const std::string& place) const;
  // One of the given words.
  std::string choice(const json& v, const std::string& place, std::initializer_list<const char*> words) const;
  // The field's value when present, else the fallback.
  double number_or(const json& obj, const std::string& place, const char* key, double lo, double hi, double fallback) const;
  int integer_or(const json& obj, const std::string& place, const char* key, int lo, int hi, int fallback) const;
  bool boolean_or(const json& obj, const std::string& place, const char* key, bool fallback) const;

  static std::string join(const std::string& place, const std::string& key) {
    return place.empty() ? key : place + "." + key;
  }
  static std::string kind(const json& v);
  const std::string& source() const { return source_; }

 private:
  std::string source_;
};

// A fuel by name: "petrol" or "lpg".
Fuel read_fuel(const ScenarioReader& reader, const json& v, const std::string& place);

}  // namespace sim
