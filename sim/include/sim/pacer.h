// How virtual time relates to the wall clock while a session runs: real
// time or a multiple of it, as fast as possible, paused, or one step of a
// given length at a time. The pacer only plans; the simulation's thread
// runs the machine to the planned time and waits as told. The wall clock is
// passed in, so the plans can be checked without waiting.
#pragma once

#include <chrono>
#include <string>

#include "host/time.h"
#include "sim/json.h"

namespace sim {

class Pacer {
 public:
  using Clock = std::chrono::steady_clock;

  enum class Mode { RealTime, Fastest, Paused };

  // The longest piece of virtual time run between two looks at the
  // commands, at real time (scaled by the factor) and at the fastest rate.
  static constexpr double kRealTimeSlice = 0.01;  // wall seconds
  static constexpr host::Time kFastestSlice = 50 * host::kTimePerMs;
  // Further behind real time than this, the pacer gives the lost time up
  // instead of running in a burst to catch up.
  static constexpr double kMaxLag = 0.25;  // wall seconds

  struct Plan {
    host::Time target;         // run the machine up to here (== now: do not run)
    Clock::time_point wake;    // when there is nothing to run, look again at the latest then
  };

  void real_time(double factor, host::Time now, Clock::time_point wall);
  void fastest();
  void pause();
  // Runs `length` of virtual time from `now`, then pauses.
  void step(host::Time length, host::Time now);

  Plan plan(host::Time now, Clock::time_point wall);

  Mode mode() const { return mode_; }
  double factor() const { return factor_; }
  bool stepping() const { return step_end_ != 0; }
  json describe() const;

 private:
  // Never a whole millisecond: the machine's millisecond events then do not
  // share a cycle with a command applied at the stop.
  static host::Time off_grid(host::Time t) { return t % host::kTimePerMs == 0 ? t + 1 : t; }

  Mode mode_ = Mode::Paused;
  double factor_ = 1.0;
  host::Time anchor_virtual_ = 0;
  Clock::time_point anchor_wall_{};
  host::Time step_end_ = 0;  // 0: no step under way
};

}  // namespace sim
