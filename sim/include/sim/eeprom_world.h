// The unit's EEPROM in the world: the 24C08 on the board's I2C bus, its
// initial content from the scenario or an image file, and the image written
// out at the end of a run (so a user keeps the unit's memory between runs).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/eeprom24c08.h"
#include "sim/files.h"
#include "sim/world.h"

namespace sim {

struct EepromSetup {
  bool present = true;
  std::optional<std::vector<std::uint8_t>> image;  // nullopt: a new, erased chip
  std::optional<double> stops_answering_at;        // seconds from the start
  std::string write_back_file;                     // the image goes here at the end when set
  // The values the scenario's eeprom.record sets (record field names, as
  // "SPD_CAL", "flvl.pb_max", "ch[1].distpb"); their bytes are in `image`.
  std::vector<std::string> record_fields;
};

class ScenarioReader;
struct Scenario;
void parse_eeprom_section(const ScenarioReader& reader, const nlohmann::json& value, const std::string& place,
                          Scenario& out);

enum class MissingImage {
  NewChip,  // a file that does not exist (yet) is a new chip, all 0xFF
  Refuse,   // a file that does not exist is an error
};
// Reads an image file: a regular file of exactly 1024 bytes. Anything else
// throws ScenarioError with a one-line message.
std::vector<std::uint8_t> read_eeprom_image(const std::string& path, MissingImage missing = MissingImage::NewChip);
// Writes an image file whole or not at all (through a temporary file).
void write_eeprom_image(const std::string& path, const std::vector<std::uint8_t>& image,
                        Durability durability = Durability::Ordinary);

// Before a run that keeps the unit's memory in `path`: refuses (ScenarioError)
// a scenario without the chip, and a file that could not be written back at
// the end (see check_replaceable).
void check_eeprom_write_back(const EepromSetup& setup, const std::string& path);

class EepromPart final : public WorldPart {
 public:
  EepromPart(host::Machine& machine, const EepromSetup& setup);
  Eeprom24c08& chip() { return chip_; }
  void trace(ojson& world) override;
  // Writes eeprom.bin, and the image back to its file.
  void finish(const std::string& dir) override;

 private:
  Eeprom24c08 chip_;
  std::string write_back_file_;
};

}  // namespace sim
