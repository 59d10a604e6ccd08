// User text in the one-line messages the simulator stops with: a file name,
// a field name or a word from a scenario can hold anything, and a message
// must stay one short line that cannot drive the terminal it is shown on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sim {

// The text with every control character (C0, DEL, C1) and every byte that
// is not part of valid UTF-8 written as an escape (\n, \t, \r, \xHH,
// \u{HHHH}); cut after max_chars characters, with "..." to show it.
std::string printable(std::string_view text, std::size_t max_chars = 64);

// A whole message as one line: what printable() does, with a longer limit.
// Text already made printable passes unchanged.
std::string one_line(std::string_view message, std::size_t max_chars = 480);

}  // namespace sim
