// The one-line message a scenario text is refused with, or "" if it is read.
#pragma once

#include <string>

#include "sim/scenario.h"

inline std::string scenario_error_of(const std::string& text, const std::string& name = "drive.json") {
  try {
    sim::parse_scenario(text, name);
  } catch (const sim::ScenarioError& e) {
    return e.what();
  }
  return "";
}
