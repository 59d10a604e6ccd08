// The world around the board: the board's wiring and supply, the car, the
// driver's controls, and the further parts (displays, memory, sensors) that
// join it, assembled on one machine from a scenario.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/machine.h"
#include "sim/board.h"
#include "sim/car.h"
#include "sim/controls.h"
#include "sim/json.h"

namespace sim {

struct Scenario;

// A part of the world that reports into the trace and writes files at
// snapshots and at the end of a run (a display writes its picture, the
// EEPROM its image).
class WorldPart {
 public:
  virtual ~WorldPart() = default;
  // Adds the part's truth to a trace line's "world" object.
  virtual void trace(ojson& world) { (void)world; }
  // Writes what the part shows at a snapshot (named "final" at the end).
  virtual void snapshot(const std::string& dir, const std::string& name) {
    (void)dir;
    (void)name;
  }
  // The run is over: write what outlives it (`dir` is the output directory,
  // empty when the run writes no files).
  virtual void finish(const std::string& dir) { (void)dir; }
};

class World {
 public:
  World(host::Machine& machine, const Scenario& scenario);
  ~World();

  // Turning the key feeds the car's circuits and the board.
  void set_ignition(bool on);

  // The part of a type, or nullptr.
  template <typename T>
  T* part() {
    for (auto& p : parts_)
      if (auto* t = dynamic_cast<T*>(p.get())) return t;
    return nullptr;
  }
  const std::vector<std::unique_ptr<WorldPart>>& parts() const { return parts_; }
  template <typename T, typename... Args>
  T& add(Args&&... args) {
    parts_.push_back(std::make_unique<T>(std::forward<Args>(args)...));
    return static_cast<T&>(*parts_.back());
  }

  host::Machine& machine;
  Board board;
  Car car;
  IgnitionSwitch ignition;
  RotaryEncoder encoder;
  PushButton button;  // the encoder's push button (low while pressed)
  PushButton cc_up;
  PushButton cc_down;
  PushButton cc_stop;

 private:
  std::vector<std::unique_ptr<WorldPart>> parts_;
};

}  // namespace sim
