// The world around the board: the board's wiring and supply, the car, and
// the driver's controls, assembled on one machine.
#pragma once

#include "host/machine.h"
#include "sim/board.h"
#include "sim/car.h"
#include "sim/controls.h"

namespace sim {

class World {
 public:
  World(host::Machine& machine, const CarProperties& car);

  // Turning the key feeds the car's circuits and the board.
  void set_ignition(bool on);

  host::Machine& machine;
  Board board;
  Car car;
  IgnitionSwitch ignition;
  RotaryEncoder encoder;
  PushButton button;  // the encoder's push button (low while pressed)
  PushButton cc_up;
  PushButton cc_down;
  PushButton cc_stop;
};

}  // namespace sim
