// The JSON types of the simulator and how it writes numbers.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

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

namespace sim {

// JSON text that a user wrote, refused where the ordinary reading would
// quietly take something else than what the text says.
class JsonTextError : public std::runtime_error {
 public:
  JsonTextError(std::size_t line, std::size_t column, std::string place, const std::string& problem)
      : std::runtime_error(problem), line(line), column(column), place(std::move(place)) {}
  std::size_t line, column;  // of the problem in the text (1-based), or 0 when `place` says where
  std::string place;         // the path to the value ("steps[2].engine"), printable
};

// Parses the text as the ordinary parser does, and also refuses, with the
// place: a NUL byte (which would end the text early), a number beyond the
// range of a double, a key given twice in one object (which would leave only
// the last) and nesting deeper than max_depth.
json parse_json_strictly(std::string_view text, std::size_t max_depth = 64);

}  // namespace sim
