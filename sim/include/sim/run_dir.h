// The output directory of a run. A new run into a directory that holds an
// earlier run's files first removes those files (by their names: the trace,
// final.json, eeprom.bin, report.html, state-*.json, tft-*.png, oled-*.png),
// so no snapshot of the earlier run is taken for one of the new run. Any
// other file in the directory is left alone.
#pragma once

#include <cstddef>
#include <string>

namespace sim {

// True for a file name a run writes into its directory.
bool is_run_output(const std::string& file_name);

// Refuses (ScenarioError) a path that exists and is not a directory.
void check_output_dir(const std::string& dir);

// Removes the earlier run's files from `dir` (links among them are removed,
// never followed); returns how many. A missing directory holds none.
// Throws OutputError naming a file that could not be removed.
std::size_t clear_earlier_run(const std::string& dir);

}  // namespace sim
