#include "sim/live.h"

#include <algorithm>
#include <cstdio>

#include "sim/ili9488.h"
#include "sim/oled_world.h"

namespace sim {

using Clock = std::chrono::steady_clock;

// ---- LiveStream

void LiveStream::line(const ojson& record) { pending_.push_back(record); }

void LiveStream::publish(const Picture& tft, const Picture* oled, json status) {
  std::vector<std::string> rows;
  rows.reserve(pending_.size());
  for (const ojson& r : pending_) rows.push_back(r.dump());
  pending_.clear();
  // Encoded outside the lock, and only when the picture changed.
  std::string tft_png, oled_png;
  bool tft_new = false, oled_new = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tft_new = tft.rgb != tft_.rgb || v_.tft_frame == 0;
    oled_new = oled != nullptr && (!has_oled_ || oled->rgb != oled_.rgb);
  }
  if (tft_new) tft_png = encode_png(tft);
  if (oled_new) oled_png = encode_png(*oled);
  std::lock_guard<std::mutex> lock(mutex_);
  if (tft_new) {
    tft_ = tft;
    tft_png_ = std::move(tft_png);
    ++v_.tft_frame;
    ++v_.frames_sent;
  }
  if (oled_new) {
    oled_ = *oled;
    oled_png_ = std::move(oled_png);
    has_oled_ = true;
    ++v_.oled_frame;
    ++v_.frames_sent;
  }
  for (auto& r : rows) rows_.push_back(std::move(r));
  v_.rows_end += rows.size();
  while (rows_.size() > kMaxRows) {
    rows_.pop_front();
    ++v_.rows_first;
  }
  if (status != status_ || tft_new || oled_new || !rows.empty()) {
    status_ = std::move(status);
    ++v_.version;
    changed_.notify_all();
  }
}

std::string LiveStream::state(std::uint64_t version, std::uint64_t rows_from, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return v_.version > version; });
  json head = status_.is_object() ? status_ : json::object();
  head["version"] = v_.version;
  head["tft_frame"] = v_.tft_frame;
  head["oled_frame"] = has_oled_ ? v_.oled_frame : 0;
  head["frames_sent"] = v_.frames_sent;
  const std::uint64_t from = std::clamp(rows_from, v_.rows_first, v_.rows_end);
  const std::uint64_t to = std::min<std::uint64_t>(v_.rows_end, from + kRowsPerAnswer);
  head["rows_from"] = from;
  head["rows_end"] = to;
  std::string text = head.dump();
  text.pop_back();  // the closing brace: the rows follow as they were written
  text += ",\"rows\":[";
  for (std::uint64_t i = from; i < to; ++i) {
    if (i != from) text += ',';
    text += rows_[static_cast<std::size_t>(i - v_.rows_first)];
  }
  text += "]}";
  return text;
}

std::string LiveStream::png(bool tft) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tft ? tft_png_ : oled_png_;
}

LiveStream::View LiveStream::view() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return v_;
}

void LiveStream::reset() {
  pending_.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  rows_.clear();
  v_.rows_first = v_.rows_end;  // the page's row numbers go on growing
  has_oled_ = false;
  oled_png_.clear();
  ++v_.version;
  changed_.notify_all();
}

// ---- LiveSession

LiveSession::LiveSession(SessionStart start, RunOptions options, std::string save_dir)
    : session_(std::move(start), std::move(options)), save_dir_(std::move(save_dir)) {
  session_.runner().set_trace_sink(&stream_);
  started_wall_ = Clock::now();
  pacer_.real_time(1.0, 0, started_wall_);
  // The machine is built on this thread and run on the other one: a fiber's
  // stack belongs to no thread, and only one of them touches it at a time.
  thread_ = std::thread([this] { loop(); });
}

LiveSession::~LiveSession() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool LiveSession::stopped() const { return finished_; }

json LiveSession::call(std::function<json(Session&, Pacer&)> work) {
  std::packaged_task<json()> task([this, w = std::move(work)] { return w(session_, pacer_); });
  std::future<json> result = task.get_future();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (quit_) throw RunError("the session has ended");
    work_.push_back(std::move(task));
  }
  wake_.notify_all();
  return result.get();
}

json LiveSession::command(const json& step) {
  const Command c = parse_command(step);  // refused here: nothing reaches the simulation
  return call([this, c](Session& s, Pacer&) {
    if (finished_) throw RunError("the session has ended");
    s.apply(c);
    return json{{"ok", true}, {"at", host::to_seconds(s.runner().now())}};
  });
}

json LiveSession::rate(const json& request) {
  if (!request.is_object()) throw ScenarioError("rate: expected an object");
  if (request.contains("step")) {
    const json& v = request["step"];
    if (!v.is_number() || !(v.get<double>() >= 0.001 && v.get<double>() <= 3600))
      throw ScenarioError("rate.step: a step of 0.001 to 3600 s");
    const host::Time length = host::from_seconds(v.get<double>());
    return call([length](Session& s, Pacer& p) {
      p.step(length, s.runner().now());
      return p.describe();
    });
  }
  const std::string mode = request.value("mode", "");
  if (mode == "realtime") {
    const json f = request.value("factor", json(1.0));
    if (!f.is_number() || !(f.get<double>() >= 0.01 && f.get<double>() <= 1000))
      throw ScenarioError("rate.factor: a multiple of real time from 0.01 to 1000");
    const double factor = f.get<double>();
    return call([factor](Session& s, Pacer& p) {
      p.real_time(factor, s.runner().now(), Clock::now());
      return p.describe();
    });
  }
  if (mode == "fastest" || mode == "paused") {
    return call([mode](Session&, Pacer& p) {
      if (mode == "fastest") p.fastest(); else p.pause();
      return p.describe();
    });
  }
  throw ScenarioError("rate.mode: one of realtime, fastest, paused (or step: SECONDS)");
}

json LiveSession::save() {
  return call([this](Session& s, Pacer&) {
    const SavedSession saved = s.save(save_dir_);
    return json{{"ok", true}, {"file", saved.scenario_file}, {"tft", saved.tft_file}, {"at", saved.at},
                {"steps", saved.steps}};
  });
}

json LiveSession::restart(const json& request) {
  if (!request.is_object()) throw ScenarioError("restart: expected an object");
  bool oled = true;
  if (request.contains("oled_present")) {
    if (!request["oled_present"].is_boolean()) throw ScenarioError("restart.oled_present: expected true or false");
    oled = request["oled_present"].get<bool>();
  }
  return call([this, oled](Session& s, Pacer& p) {
    if (finished_) throw RunError("the session has ended");
    s.runner().set_trace_sink(nullptr);
    stream_.reset();
    s.restart(oled);
    s.runner().set_trace_sink(&stream_);
    if (p.mode() == Pacer::Mode::RealTime) p.real_time(p.factor(), 0, Clock::now());
    started_wall_ = Clock::now();
    started_virtual_ = 0;
    ++generation_;
    return json{{"ok", true}};
  });
}

json LiveSession::stop() {
  return call([this](Session& s, Pacer& p) {
    if (finished_) return end_;
    p.pause();
    const RunSummary sum = s.runner().finish();
    finished_ = true;
    end_ = json{{"ok", true}, {"t", sum.virtual_seconds}, {"trace_lines", sum.trace_lines}};
    return end_;
  });
}

json LiveSession::status() {
  Runner& r = session_.runner();
  json st;
  st["t"] = host::to_seconds(r.now());
  st["rate"] = pacer_.describe();
  st["scenario"] = session_.start().name;
  st["commands"] = r.applied_commands().size();
  st["finished"] = finished_;
  st["generation"] = generation_;
  // Virtual seconds per wall second over the last second or so.
  const auto wall_now = Clock::now();
  const double wall = std::chrono::duration<double>(wall_now - started_wall_).count();
  if (wall >= 1.0) {
    speed_factor_ = host::to_seconds(r.now() - std::min(r.now(), started_virtual_)) / wall;
    started_wall_ = wall_now;
    started_virtual_ = r.now();
  }
  st["speed_factor"] = speed_factor_;
  return st;
}

void LiveSession::publish(bool force) {
  const auto now = Clock::now();
  if (!force && now < next_publish_) return;
  World& w = session_.runner().world();
  Picture tft;
  if (auto* t = w.part<TftDisplay>()) tft = t->panel.picture();
  Picture oled;
  auto* o = w.part<OledPart>();
  if (o != nullptr) oled = o->oled().photo(4);
  stream_.publish(tft, o ? &oled : nullptr, status());
  // The pictures take at most a quarter of the time: the rest runs the unit.
  const auto done = Clock::now();
  next_publish_ = done + std::max<Clock::duration>(kFramePeriod, 3 * (done - now));
}

void LiveSession::loop() {
  for (;;) {
    std::deque<std::packaged_task<json()>> work;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (quit_) break;
      work.swap(work_);
    }
    for (auto& task : work) task();  // exceptions go back with the result
    if (!work.empty()) publish(true);
    const host::Time now = session_.runner().now();
    Pacer::Plan plan = finished_ ? Pacer::Plan{now, Clock::now() + std::chrono::milliseconds(200)}
                                 : pacer_.plan(now, Clock::now());
    if (plan.target > now) {
      try {
        session_.runner().advance_to(plan.target);
      } catch (const std::exception& e) {
        pacer_.pause();
        std::fprintf(stderr, "kp-sim: the session stopped: %s\n", e.what());
      }
      publish(false);
      continue;
    }
    publish(false);
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_until(lock, plan.wake, [&] { return quit_ || !work_.empty(); });
  }
  // Work posted at the end is dropped: its caller gets a broken promise.
  std::lock_guard<std::mutex> lock(mutex_);
  work_.clear();
}

}  // namespace sim
