#include "sim/eeprom_show.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "host/firmware.h"
#include "sim/json.h"

namespace sim {

namespace {

// The values the firmware does not test (it only brings the trip channel
// number into 1..3 when it loads the record).
bool tested(const record::Field& f) { return f.name != "active_ch" && f.name != "lambda_enable"; }

// Loads the image into the firmware's variables as its start-up does and
// runs the firmware's own integrity check on them; returns the number of
// repairs and leaves the repaired values in `after`.
int firmware_check(const record::Image& image, record::Image& after) {
  host::LinkedFirmware& fw = host::LinkedFirmware::instance();
  fw.restore_reset_state();
  for (const record::Field& f : record::fields()) {
    auto* var = static_cast<unsigned char*>(fw.symbol(f.variable.c_str()));
    if (var == nullptr) throw std::runtime_error("the firmware has no variable " + f.variable);
    std::memcpy(var + f.offset, image.data() + f.address, f.size);
  }
  // int check_eeprom_integrity(void), by its linker name.
  auto check = reinterpret_cast<int (*)()>(fw.symbol("_Z22check_eeprom_integrityv"));
  if (check == nullptr) throw std::runtime_error("the firmware has no integrity check");
  const int repairs = check();
  after = image;
  for (const record::Field& f : record::fields())
    std::memcpy(after.data() + f.address, static_cast<unsigned char*>(fw.symbol(f.variable.c_str())) + f.offset, f.size);
  fw.restore_reset_state();
  return repairs;
}

ojson consumption(double litres, double km) {
  if (!(km > 0) || !std::isfinite(litres)) return nullptr;
  return json_number(std::round(litres / km * 100.0 * 1000.0) / 1000.0);
}

std::string text(const ojson& v) {
  if (v.is_string()) return v.get<std::string>();
  return v.dump();
}

}  // namespace

ojson describe_eeprom(const record::Image& image, const std::string& file) {
  record::Image after;
  const int repairs = firmware_check(image, after);
  ojson d;
  d["file"] = file;
  d["bytes"] = image.size();
  ojson list = ojson::array();
  for (const record::Field& f : record::fields()) {
    ojson e;
    e["name"] = f.name;
    e["address"] = f.address;
    e["length"] = f.size;
    e["bytes"] = record::hex_bytes(image, f);
    e["value"] = record::value(image, f);
    if (!tested(f)) {
      e["check"] = "not tested";
      if (f.name == "active_ch") {
        const auto n = static_cast<int>(record::number(image, f));
        e["loaded_as"] = n > 3 ? 1 : n == 0 ? 3 : n;
      }
    } else if (std::memcmp(image.data() + f.address, after.data() + f.address, f.size) == 0) {
      e["check"] = "passes";
    } else {
      e["check"] = "repaired";
      e["repaired_to"] = record::value(after, f);
    }
    list.push_back(e);
  }
  d["fields"] = list;
  ojson channels = ojson::array();
  for (int k = 0; k < 3; ++k) {
    auto get = [&](const char* field) {
      return record::number(image, *record::find("ch[" + std::to_string(k) + "]." + field));
    };
    ojson c;
    c["channel"] = k + 1;
    c["petrol_km"] = json_number(get("distpb"));
    c["petrol_litres"] = json_number(get("pbcons"));
    c["petrol_l_per_100km"] = consumption(get("pbcons"), get("distpb"));
    c["lpg_km"] = json_number(get("distlpg"));
    c["lpg_litres"] = json_number(get("lpgcons"));
    c["lpg_l_per_100km"] = consumption(get("lpgcons"), get("distlpg"));
    channels.push_back(c);
  }
  d["channels"] = channels;
  d["repairs"] = repairs;
  return d;
}

std::string format_eeprom(const ojson& d) {
  std::string out;
  char line[256];
  std::snprintf(line, sizeof line, "EEPROM image %s (%d bytes): the record at bytes 13..179\n\n",
                d["file"].get<std::string>().c_str(), d["bytes"].get<int>());
  out += line;
  std::snprintf(line, sizeof line, "%-16s %-9s %-24s %-22s %s\n", "value", "address", "bytes", "", "at start-up");
  out += line;
  for (const auto& e : d["fields"]) {
    const int a = e["address"].get<int>();
    const int n = e["length"].get<int>();
    const std::string addr = n == 1 ? std::to_string(a) : std::to_string(a) + ".." + std::to_string(a + n - 1);
    std::string check = e["check"].get<std::string>();
    if (check == "repaired") check = "repaired to " + text(e["repaired_to"]);
    if (e.contains("loaded_as") && e["loaded_as"] != e["value"]) check += ", used as " + text(e["loaded_as"]);
    std::snprintf(line, sizeof line, "%-16s %-9s %-24s %-22s %s\n", e["name"].get<std::string>().c_str(), addr.c_str(),
                  e["bytes"].get<std::string>().c_str(), text(e["value"]).c_str(), check.c_str());
    out += line;
  }
  out += "\ntrip channels\n";
  for (const auto& c : d["channels"]) {
    auto fixed = [](const ojson& v, int decimals) {
      if (v.is_null()) return std::string("-");
      if (!v.is_number()) return text(v);
      char b[64];
      std::snprintf(b, sizeof b, "%.*f", decimals, v.get<double>());
      return std::string(b);
    };
    std::snprintf(line, sizeof line, "  %d  petrol %s km, %s l (%s l/100 km)   LPG %s km, %s l (%s l/100 km)\n",
                  c["channel"].get<int>(), fixed(c["petrol_km"], 3).c_str(), fixed(c["petrol_litres"], 3).c_str(),
                  fixed(c["petrol_l_per_100km"], 2).c_str(), fixed(c["lpg_km"], 3).c_str(),
                  fixed(c["lpg_litres"], 3).c_str(), fixed(c["lpg_l_per_100km"], 2).c_str());
    out += line;
  }
  const int repairs = d["repairs"].get<int>();
  if (repairs == 0) {
    out += "\nthe integrity check passes every value\n";
  } else {
    std::snprintf(line, sizeof line,
                  "\nthe integrity check would repair %d value%s; the unit shows \"znaleziono %d blad w pamieci\" at "
                  "start-up\n",
                  repairs, repairs == 1 ? "" : "s", repairs);
    out += line;
  }
  return out;
}

}  // namespace sim
