// "Did you mean" for a misspelt word on the command line: the nearest of
// the words it could have been, when it is near enough to be a slip.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Edits (insert, delete, replace, swap two neighbours) from a to b.
std::size_t edit_distance(std::string_view a, std::string_view b);

// The candidate nearest to `word`, if it is within about a third of the
// word's length (at least one edit); ties go to the first candidate.
std::optional<std::string> closest(std::string_view word, const std::vector<std::string>& candidates);

}  // namespace sim
