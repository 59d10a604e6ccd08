#include "sim/record_overlay.h"

#include <algorithm>
#include <cstring>

#include "sim/eeprom_show.h"

namespace sim {

record::Image overlay_record(const EepromSetup& setup, record::Image file_image) {
  if (!setup.image) return file_image;
  for (const std::string& name : setup.record_fields) {
    const record::Field* f = record::find(name);
    if (f == nullptr) continue;
    std::memcpy(file_image.data() + f->address, setup.image->data() + f->address, f->size);
  }
  return file_image;
}

namespace {
std::string text(const ojson& v) { return v.is_string() ? v.get<std::string>() : v.dump(); }
}  // namespace

std::vector<std::string> record_warnings(const EepromSetup& setup, const record::Image& image) {
  std::vector<std::string> lines;
  if (setup.record_fields.empty()) return lines;
  // The firmware's own check on the image tells what it will repair.
  const ojson d = describe_eeprom(image, "");
  for (const auto& e : d["fields"]) {
    const std::string name = e["name"].get<std::string>();
    if (e["check"] != "repaired") continue;
    if (std::find(setup.record_fields.begin(), setup.record_fields.end(), name) == setup.record_fields.end()) continue;
    lines.push_back("eeprom.record." + name + ": " + text(e["value"]) +
                    " is outside what the unit accepts; written as asked, the unit repairs it to " +
                    text(e["repaired_to"]) + " at start-up");
  }
  return lines;
}

}  // namespace sim
