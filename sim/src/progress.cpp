#include "sim/progress.h"

#include <algorithm>

namespace sim {

std::string progress_line(double virtual_s, double end_s, double wall_s) {
  char b[160];
  const int percent = end_s > 0 ? static_cast<int>(std::clamp(virtual_s / end_s, 0.0, 1.0) * 100.0) : 100;
  if (wall_s > 0) {
    std::snprintf(b, sizeof b, "kp-sim: %.1f of %.1f s virtual (%d%%), %.0fx real time", virtual_s, end_s, percent,
                  virtual_s / wall_s);
  } else {
    std::snprintf(b, sizeof b, "kp-sim: %.1f of %.1f s virtual (%d%%)", virtual_s, end_s, percent);
  }
  return b;
}

Progress::Progress(std::FILE* out, bool enabled, double end_s)
    : out_(out), enabled_(enabled), end_s_(end_s), start_(std::chrono::steady_clock::now()), last_(start_) {}

Progress::~Progress() { done(); }

void Progress::update(double virtual_s) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  // Shown at once, then redrawn at most 5 times a second.
  if (shown_ && now - last_ < std::chrono::milliseconds(200)) return;
  last_ = now;
  const double wall = std::chrono::duration<double>(now - start_).count();
  std::fprintf(out_, "\r%s\033[K", progress_line(virtual_s, end_s_, wall).c_str());
  std::fflush(out_);
  shown_ = true;
}

void Progress::done() {
  if (shown_) {
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
  }
  shown_ = false;
}

}  // namespace sim
