// The values a scenario's eeprom.record sets, applied over an image file
// that holds the unit's memory (kp-sim run --eeprom FILE), and the values
// among them the unit would not accept as they are.
#pragma once

#include <string>
#include <vector>

#include "sim/eeprom_world.h"
#include "sim/record_layout.h"

namespace sim {

// `file_image` with the bytes of every value the scenario's record sets
// replaced by the scenario's; the rest of the file is kept as it was.
record::Image overlay_record(const EepromSetup& setup, record::Image file_image);

// One line for every value the record sets that the unit's integrity check
// repairs at start-up: the value is written as asked, and the line names it
// and what the unit will make of it. Nothing when there is no record.
std::vector<std::string> record_warnings(const EepromSetup& setup, const record::Image& image);

}  // namespace sim
