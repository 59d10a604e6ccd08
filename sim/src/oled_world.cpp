#include "sim/oled_world.h"

#include <filesystem>

#include "sim/scenario.h"
#include "sim/scenario_reader.h"

namespace sim {

void parse_oled_section(const ScenarioReader& r, const json& v, const std::string& place, Scenario& sc) {
  r.object(v, place);
  r.only_keys(v, place, {"present"});
  sc.oled.present = r.boolean_or(v, place, "present", sc.oled.present);
}

void OledPart::trace(ojson& world) {
  ojson o;
  o["glowing"] = oled_.glowing();
  o["lit"] = oled_.lit_count();
  world["oled"] = o;
}

// Four screen pixels a pixel with a thin gap between them: readable, and
// it looks like the module.
void OledPart::snapshot(const std::string& dir, const std::string& name) {
  write_png((std::filesystem::path(dir) / ("oled-" + name + ".png")).string(), oled_.photo(4));
}

}  // namespace sim
