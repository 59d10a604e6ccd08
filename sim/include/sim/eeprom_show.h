// A readable account of an EEPROM image: every value of the record by name
// with its address, raw bytes and value, what the firmware's integrity check
// would do with it at the next start-up, and the three trip channels.
#pragma once

#include <string>

#include "sim/json.h"
#include "sim/record_layout.h"

namespace sim {

ojson describe_eeprom(const record::Image& image, const std::string& file);
std::string format_eeprom(const ojson& description);

}  // namespace sim
