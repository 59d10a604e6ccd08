// The top-level sections of a scenario.
#include "sim/scenario.h"

namespace sim {

const std::vector<SectionKind>& section_kinds() {
  static const std::vector<SectionKind> kinds = {
      {"car", parse_car},
  };
  return kinds;
}

}  // namespace sim
