#include "sim/pacer.h"

#include <algorithm>
#include <cmath>

namespace sim {

using host::Time;

void Pacer::real_time(double factor, Time now, Clock::time_point wall) {
  mode_ = Mode::RealTime;
  factor_ = factor;
  anchor_virtual_ = now;
  anchor_wall_ = wall;
  step_end_ = 0;
}

void Pacer::fastest() {
  mode_ = Mode::Fastest;
  step_end_ = 0;
}

void Pacer::pause() {
  mode_ = Mode::Paused;
  step_end_ = 0;
}

void Pacer::step(Time length, Time now) {
  mode_ = Mode::Paused;
  step_end_ = std::max<Time>(1, now + length);
}

Pacer::Plan Pacer::plan(Time now, Clock::time_point wall) {
  const auto idle = wall + std::chrono::milliseconds(200);
  if (step_end_ != 0) {
    if (now >= step_end_) {
      step_end_ = 0;
      return {now, idle};
    }
    return {std::min(step_end_, now + kFastestSlice), wall};
  }
  switch (mode_) {
    case Mode::Paused:
      return {now, idle};
    case Mode::Fastest:
      return {off_grid(now + kFastestSlice), wall};
    case Mode::RealTime: {
      const double per_wall_second = factor_ * static_cast<double>(host::kTimePerSecond);
      const double elapsed = std::chrono::duration<double>(wall - anchor_wall_).count();
      Time ideal = anchor_virtual_ + static_cast<Time>(std::max(0.0, elapsed) * per_wall_second);
      const Time lag_limit = static_cast<Time>(kMaxLag * per_wall_second);
      if (ideal > now + lag_limit) {  // the machine cannot keep up: go on from here
        anchor_virtual_ = now;
        anchor_wall_ = wall;
        ideal = now;
      }
      const Time slice = std::max<Time>(1, static_cast<Time>(kRealTimeSlice * per_wall_second));
      if (ideal <= now) {
        // Ahead of the clock: wait until a slice's worth is due.
        const double due = static_cast<double>(now + slice - anchor_virtual_) / per_wall_second;
        const auto wake = anchor_wall_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(due));
        return {now, std::min(wake, idle)};
      }
      return {off_grid(std::min(ideal, now + slice)), wall};
    }
  }
  return {now, idle};
}

json Pacer::describe() const {
  json d;
  d["mode"] = mode_ == Mode::RealTime ? "realtime" : mode_ == Mode::Fastest ? "fastest" : "paused";
  d["factor"] = factor_;
  d["stepping"] = stepping();
  return d;
}

}  // namespace sim
