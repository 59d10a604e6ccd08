#include "sim/eeprom_world.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "sim/files.h"
#include "sim/message_text.h"
#include "sim/record_layout.h"
#include "sim/scenario.h"
#include "sim/scenario_reader.h"
#include "sim/suggest.h"

namespace sim {

namespace fs = std::filesystem;

std::vector<std::uint8_t> read_eeprom_image(const std::string& path, MissingImage missing) {
  struct stat st {};
  if (missing == MissingImage::NewChip && !path.empty() && ::stat(path.c_str(), &st) != 0 && errno == ENOENT)
    return std::vector<std::uint8_t>(record::kImageSize, 0xFF);
  const std::string bytes = read_regular_file(path, "EEPROM image", record::kImageSize);
  if (bytes.size() != record::kImageSize)
    throw ScenarioError(printable(path, 160) + ": an EEPROM image is exactly 1024 bytes, this file has " +
                        std::to_string(bytes.size()));
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

void write_eeprom_image(const std::string& path, const std::vector<std::uint8_t>& image, Durability durability) {
  write_file(path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()), durability);
}

void check_eeprom_write_back(const EepromSetup& setup, const std::string& path) {
  if (!setup.present)
    throw ScenarioError(printable(path, 160) +
                        ": not used: the scenario has no EEPROM on the board (eeprom.present is false)");
  check_replaceable(path, "EEPROM image");
}

namespace {

void apply_record(const ScenarioReader& r, const json& v, const std::string& place, record::Image& image,
                  std::vector<std::string>& names) {
  r.object(v, place);
  for (auto it = v.begin(); it != v.end(); ++it) {
    const std::string key = it.key();
    const std::string where = ScenarioReader::join(place, printable(key));
    if (key == "ch") {
      if (!it->is_array() || it->size() > 3) r.fail(where, "expected a list of up to 3 trip channels");
      for (std::size_t k = 0; k < it->size(); ++k) {
        const std::string at = where + "[" + std::to_string(k) + "]";
        const json& c = (*it)[k];
        r.object(c, at);
        r.only_keys(c, at, {"distlpg", "distpb", "pbcons", "lpgcons"});
        for (auto f = c.begin(); f != c.end(); ++f) {
          const std::string name = "ch[" + std::to_string(k) + "]." + f.key();
          record::set(image, *record::find(name), r.number(*f, ScenarioReader::join(at, f.key()), -1e9, 1e9));
          names.push_back(name);
        }
      }
    } else if (key == "flvl") {
      r.object(*it, where);
      r.only_keys(*it, where, {"pb_min", "pb_max", "lpg_min", "lpg_max"});
      for (auto f = it->begin(); f != it->end(); ++f) {
        record::set(image, *record::find("flvl." + f.key()), r.integer(*f, ScenarioReader::join(where, f.key()), 0, 65535));
        names.push_back("flvl." + f.key());
      }
    } else {
      const record::Field* field = record::find(key);
      if (field == nullptr || key.find('.') != std::string::npos) {
        std::vector<std::string> names = {"flvl", "ch"};
        for (const record::Field& f : record::fields())
          if (f.name.find('.') == std::string::npos) names.push_back(f.name);
        const auto near = closest(key, names);
        r.fail(where, near ? "not a value of the record (did you mean " + *near + "?)"
                           : "not a value of the record (for example SPD_CAL, lpgtype, pbcap, flvl, ch)");
      }
      switch (field->type) {
        case record::Type::U8: record::set(image, *field, r.integer(*it, where, 0, 255)); break;
        case record::Type::U16: record::set(image, *field, r.integer(*it, where, 0, 65535)); break;
        case record::Type::I32: record::set(image, *field, r.integer(*it, where, -2147483647, 2147483647)); break;
        default: record::set(image, *field, r.number(*it, where, -1e30, 1e30)); break;
      }
      names.push_back(field->name);
    }
  }
}

}  // namespace

void parse_eeprom_section(const ScenarioReader& r, const json& v, const std::string& place, Scenario& sc) {
  EepromSetup& e = sc.eeprom;
  r.object(v, place);
  r.only_keys(v, place, {"present", "image_file", "record", "stops_answering_at"});
  e.present = r.boolean_or(v, place, "present", e.present);
  if (v.contains("image_file")) {
    const std::string where = ScenarioReader::join(place, "image_file");
    fs::path file = r.string(v["image_file"], where);
    if (file.empty()) r.fail(where, "the file name is empty");
    // Relative to the scenario file.
    const fs::path source(r.source());
    if (file.is_relative() && source.has_parent_path()) file = source.parent_path() / file;
    try {
      e.image = read_eeprom_image(file.string(), MissingImage::Refuse);
    } catch (const ScenarioError& err) {
      r.fail(where, err.what());
    }
  }
  if (v.contains("record")) {
    record::Image image = e.image.value_or(record::default_image());
    apply_record(r, v["record"], ScenarioReader::join(place, "record"), image, e.record_fields);
    e.image = image;
  }
  if (v.contains("stops_answering_at"))
    e.stops_answering_at = r.number(v["stops_answering_at"], ScenarioReader::join(place, "stops_answering_at"), 0, 1e9);
}

EepromPart::EepromPart(host::Machine& machine, const EepromSetup& setup)
    : chip_(machine), write_back_file_(setup.write_back_file) {
  if (setup.image) chip_.load(*setup.image);
  if (setup.stops_answering_at) chip_.stop_answering_at(host::from_seconds(*setup.stops_answering_at));
}

void EepromPart::trace(ojson& world) { world["eeprom_pages_programmed"] = chip_.pages_programmed(); }

void EepromPart::finish(const std::string& dir) {
  if (!dir.empty()) write_eeprom_image((fs::path(dir) / "eeprom.bin").string(), chip_.image());
  // The user's own file: through a link to the file it names, and on the disk
  // before the old content is gone.
  if (!write_back_file_.empty()) write_eeprom_image(link_target(write_back_file_), chip_.image(), Durability::Synced);
}

}  // namespace sim
