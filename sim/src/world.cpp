#include "sim/world.h"

#include "sim/cruise_world.h"
#include "sim/eeprom_world.h"
#include "sim/ili9488.h"
#include "sim/oled_world.h"
#include "sim/scenario.h"
#include "sim/sensors.h"

namespace sim {

World::World(host::Machine& m, const Scenario& scenario)
    : machine(m),
      board(m),
      car(m, scenario.car),
      ignition(board),
      encoder(m),
      button(m, pins::enc_but, false),
      cc_up(m, pins::cc_up, true),
      cc_down(m, pins::cc_down, true),
      cc_stop(m, pins::cc_stop, true) {
  if (scenario.eeprom.present) add<EepromPart>(m, scenario.eeprom);
  add<SensorsPart>(*this, scenario.sensors);
  if (scenario.oled.present) add<OledPart>(m);
  add<TftDisplay>(m);
  add<CruisePart>(*this);
}

World::~World() {
  // Parts go first: they may hold drivers and listeners on the board.
  parts_.clear();
}

void World::set_ignition(bool on) {
  car.set_ignition(on);
  ignition.set(on);
}

}  // namespace sim
