// The unit's OLED module in the world: the SSD1306 on the board's I2C bus,
// its state in the trace, and its photograph, oled-NAME.png, at every
// snapshot (oled-final.png at the end of a run).
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "sim/ssd1306.h"
#include "sim/world.h"

namespace sim {

// The scenario's "oled" section: {"present": true | false}.
struct OledSetup {
  bool present = true;  // false: the unit runs without its OLED (nobody answers 0x3C)
};

class ScenarioReader;
struct Scenario;
void parse_oled_section(const ScenarioReader& reader, const nlohmann::json& value, const std::string& place,
                        Scenario& out);

class OledPart final : public WorldPart {
 public:
  explicit OledPart(host::Machine& machine) : oled_(machine) {}
  Ssd1306& oled() { return oled_; }
  void trace(ojson& world) override;
  void snapshot(const std::string& dir, const std::string& name) override;

 private:
  Ssd1306 oled_;
};

}  // namespace sim
