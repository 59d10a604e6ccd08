#include "sim/world.h"

#include "sim/scenario.h"

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
      cc_stop(m, pins::cc_stop, true) {}

World::~World() {
  // Parts go first: they may hold drivers and listeners on the board.
  parts_.clear();
}

void World::set_ignition(bool on) {
  car.set_ignition(on);
  ignition.set(on);
}

}  // namespace sim
