// The driver's controls: the ignition switch, the rotary encoder with its
// push button, and the three cruise-control buttons.
#pragma once

#include <cstdint>

#include "host/events.h"
#include "host/machine.h"

namespace sim {

class Board;

class IgnitionSwitch {
 public:
  explicit IgnitionSwitch(Board& board);
  void set(bool on);
  bool on() const { return on_; }

 private:
  Board& board_;
  host::Gpio::DriverId line_;
  bool on_ = false;
};

// A push button that connects its line to a level while pressed; released,
// the line is left to its pull resistor.
class PushButton : private host::Event {
 public:
  PushButton(host::Machine& machine, host::PinId pin, bool active_high);
  void press();
  void release();
  // Presses now and releases after `duration`.
  void press_for(host::Time duration);
  bool pressed() const { return pressed_; }

 private:
  void fire(host::Time) override { release(); }
  host::Machine& machine_;
  host::Gpio::DriverId line_;
  bool active_high_;
  bool pressed_ = false;
};

// A mechanical rotary encoder with detents: each detent is one full cycle of
// the clock line (low, then high); the data line is low at the clock's rising
// edge when turned forward, high when turned backward.
class RotaryEncoder : private host::Event {
 public:
  static constexpr host::Time kPhase = 2 * host::kTimePerMs;       // between line changes
  static constexpr host::Time kDetentGap = 40 * host::kTimePerMs;  // between detents of one turn

  explicit RotaryEncoder(host::Machine& machine);
  // Queues `detents` detents (negative: backward), after those still queued.
  void turn(int detents);
  int queued() const { return queued_; }

 private:
  void fire(host::Time t) override;
  void start_detent(host::Time t);
  host::Machine& machine_;
  host::Gpio::DriverId clk_;
  host::Gpio::DriverId dt_;
  int queued_ = 0;  // signed
  int phase_ = 0;   // 0 idle, 1..4 inside a detent
  bool forward_ = true;
};

}  // namespace sim
