// The progress of a long run on the user's terminal: virtual time reached,
// of how much, and how many times faster than real time it goes. The host
// clock is read here only, for the display; the run itself never sees it.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace sim {

// "kp-sim: 1234.0 of 36000.0 s virtual (3%), 850x real time"
std::string progress_line(double virtual_s, double end_s, double wall_s);

class Progress {
 public:
  // Shows nothing unless `enabled` (a terminal, and no --quiet).
  Progress(std::FILE* out, bool enabled, double end_s);
  ~Progress();
  // Called between stretches of the run; redraws the line a few times a second.
  void update(double virtual_s);
  // Removes the line.
  void done();

 private:
  std::FILE* out_;
  bool enabled_;
  bool shown_ = false;
  double end_s_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace sim
