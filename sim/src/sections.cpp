// The top-level sections of a scenario.
#include "sim/cruise_world.h"
#include "sim/eeprom_world.h"
#include "sim/oled_world.h"
#include "sim/scenario.h"
#include "sim/sensors.h"

namespace sim {

const std::vector<SectionKind>& section_kinds() {
  static const std::vector<SectionKind> kinds = {
      {"car", parse_car},
      {"eeprom", parse_eeprom_section},
      {"sensors", parse_sensors_section},
      {"oled", parse_oled_section},
      {"vehicle", parse_vehicle_section},
  };
  return kinds;
}

}  // namespace sim
