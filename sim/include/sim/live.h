// The live session: one thread owns the simulation and runs it as the pacer
// says; other threads (the web server's) post work to it, which it does at
// its next step boundary, and read what it publishes: the displays' pictures
// when they change, the trace's records, the rate.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/command_queue.h"
#include "sim/json.h"
#include "sim/pacer.h"
#include "sim/png.h"
#include "sim/session.h"

namespace sim {

// The trace's records and the displays' pictures as the page sees them:
// a picture gets a new number only when it changed.
class LiveStream final : public TraceSink {
 public:
  static constexpr std::size_t kMaxRows = 50000;  // the oldest go first

  void line(const ojson& record) override;  // the simulation's thread

  struct View {
    std::uint64_t version = 0;  // grows with anything new
    std::uint64_t tft_frame = 0, oled_frame = 0;
    std::uint64_t rows_first = 0, rows_end = 0;  // numbers of the rows kept
    std::uint64_t frames_sent = 0;               // pictures published (both displays)
  };

  // Publishes the pictures (numbered again when they changed) and the rows
  // gathered since, with the status; the simulation's thread.
  void publish(const Picture& tft, const Picture* oled, json status);
  // Waits until something newer than `version` is there, or the timeout;
  // the state as JSON text: the numbers of View, the status, and the rows
  // from `rows_from` on (at most kRowsPerAnswer).
  static constexpr std::size_t kRowsPerAnswer = 2000;
  std::string state(std::uint64_t version, std::uint64_t rows_from, std::chrono::milliseconds timeout);
  // The current picture as PNG bytes ("" when there is none).
  std::string png(bool tft) const;
  View view() const;
  void reset();  // a new session: the rows start again

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ojson> pending_;  // rows not yet published (simulation's thread only)
  std::deque<std::string> rows_;  // published, dumped
  View v_;
  Picture tft_, oled_;
  std::string tft_png_, oled_png_;
  bool has_oled_ = false;
  json status_;
};

class LiveSession {
 public:
  // Publishes at most this often while running (less often when the
  // pictures would take more than a quarter of the time).
  static constexpr std::chrono::milliseconds kFramePeriod{33};

  LiveSession(SessionStart start, RunOptions options, std::string save_dir);
  ~LiveSession();
  LiveSession(const LiveSession&) = delete;
  LiveSession& operator=(const LiveSession&) = delete;

  // Runs `work` on the simulation's thread at its next step boundary and
  // returns its result; its exceptions come back here.
  json call(std::function<json(Session&, Pacer&)> work);

  // A command from the page: the same checks as a scenario step; applied
  // at the next step boundary. Returns the virtual time it took effect at.
  json command(const json& step);
  // {"mode": "realtime", "factor": F} | {"mode": "fastest"} | {"mode": "paused"} | {"step": SECONDS}
  json rate(const json& request);
  json save();
  json restart(const json& request);
  // Ends the session: the run's final files and the EEPROM's image.
  json stop();

  LiveStream& stream() { return stream_; }
  bool stopped() const;

 private:
  void loop();
  void publish(bool force);
  json status();

  Session session_;
  Pacer pacer_;
  LiveStream stream_;
  std::string save_dir_;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::packaged_task<json()>> work_;
  bool quit_ = false;
  bool finished_ = false;
  json end_;
  std::chrono::steady_clock::time_point next_publish_{};
  std::chrono::steady_clock::time_point started_wall_;
  host::Time started_virtual_ = 0;
  double speed_factor_ = 0;
  int generation_ = 0;  // sessions started again
  std::thread thread_;
};

}  // namespace sim
