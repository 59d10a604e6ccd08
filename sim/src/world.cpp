#include "sim/world.h"

namespace sim {

World::World(host::Machine& m, const CarProperties& props)
    : machine(m),
      board(m),
      car(m, props),
      ignition(board),
      encoder(m),
      button(m, pins::enc_but, false),
      cc_up(m, pins::cc_up, true),
      cc_down(m, pins::cc_down, true),
      cc_stop(m, pins::cc_stop, true) {}

void World::set_ignition(bool on) {
  car.set_ignition(on);
  ignition.set(on);
}

}  // namespace sim
