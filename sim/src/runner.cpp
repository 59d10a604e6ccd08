#include "sim/runner.h"

#include <cmath>
#include <filesystem>
#include <optional>

#include "sim/files.h"

namespace sim {

using host::Time;

namespace {
Time seconds(double s) { return host::from_seconds(s); }
}  // namespace

// Applies the scenario's steps at their times.
class Runner::Timeline final : public host::Event {
 public:
  explicit Timeline(Runner& r) : Event(r.machine_->events()), runner_(r) {
    if (!r.scenario_.steps.empty()) schedule(seconds(r.scenario_.steps.front().at));
  }
  void fire(Time t) override {
    const auto& steps = runner_.scenario_.steps;
    while (next_ < steps.size() && seconds(steps[next_].at) <= t) runner_.apply(steps[next_++]);
    rearm();
  }
  // Schedules the next step again (a command applied by hand came first).
  void rearm() {
    const auto& steps = runner_.scenario_.steps;
    if (next_ < steps.size()) schedule(seconds(steps[next_].at));
  }
  std::size_t applied() const { return next_; }

 private:
  Runner& runner_;
  std::size_t next_ = 0;
};

// Writes a trace line at every interval.
class Runner::Tracer final : public host::Event {
 public:
  Tracer(Runner& r, bool write) : Event(r.machine_->events()), runner_(r) {
    if (write) out_.emplace(r.output_path("trace.jsonl"));
    schedule(0);
  }
  void fire(Time t) override {
    line();
    schedule(t + std::max<Time>(1, seconds(runner_.scenario_.trace_interval)));
  }
  void line() {
    ++lines_;
    last_ = runner_.machine_->now();
    if (!out_ && sink_ == nullptr) return;
    const ojson r = runner_.record(false);
    if (out_) out_->write(r.dump() + '\n');
    if (sink_ != nullptr) sink_->line(r);
  }
  void set_sink(TraceSink* sink) { sink_ = sink; }
  std::uint64_t lines() const { return lines_; }
  Time last() const { return last_; }
  void close() {
    if (out_) out_->commit();
    out_.reset();
  }

 private:
  Runner& runner_;
  std::optional<AtomicFile> out_;
  TraceSink* sink_ = nullptr;
  std::uint64_t lines_ = 0;
  Time last_ = host::kNever;
};

namespace {
Scenario with_options(Scenario sc, const RunOptions& options) {
  if (options.eeprom_file) {
    check_eeprom_write_back(sc.eeprom, options.eeprom_file->path);
    sc.eeprom.image = options.eeprom_file->image;
    sc.eeprom.write_back_file = options.eeprom_file->path;
  }
  return sc;
}
}  // namespace

Runner::Runner(const Scenario& scenario, const RunOptions& options)
    : scenario_(with_options(scenario, options)),
      options_(options),
      machine_(std::make_unique<host::Machine>(host::LinkedFirmware::instance())),
      world_(std::make_unique<World>(*machine_, scenario_)),
      view_(machine_->firmware()) {
  if (options_.write_files) {
    std::error_code ec;
    std::filesystem::create_directories(options_.out_dir, ec);
    if (ec || !std::filesystem::is_directory(options_.out_dir))
      throw RunError("cannot create the output directory " + options_.out_dir + (ec ? ": " + ec.message() : ""));
  }
  timeline_ = std::make_unique<Timeline>(*this);
  tracer_ = std::make_unique<Tracer>(*this, options_.write_files);
  last_powered_ = std::make_unique<LastPowered>(*machine_, view_);
}

Runner::~Runner() {
  // Models go before the machine they are attached to.
  last_powered_.reset();
  tracer_.reset();
  timeline_.reset();
  world_.reset();
  machine_.reset();
}

std::string Runner::output_path(const std::string& file) const {
  return (std::filesystem::path(options_.out_dir) / file).string();
}

void Runner::apply(const Step& s) {
  StepContext ctx{*world_, *this};
  s.action->apply(ctx);
}

ojson Runner::record(bool all_globals) {
  host::Machine& m = *machine_;
  ojson r;
  r["t"] = json_number(std::round(host::to_seconds(m.now()) * 1e6) / 1e6);
  if (m.powered()) {
    const ojson globals = view_.globals(!all_globals);
    for (auto& [k, v] : globals.items()) r[k] = v;
  }
  ojson pins;
  const auto& g = m.gpio();
  for (const auto& [name, pin] : {std::pair{"relay", pins::relay}, {"pk1", pins::pk1}, {"pk2", pins::pk2},
                                  {"pk3", pins::pk3}, {"buzzer", pins::buzzer}, {"stepper_en", pins::stepper_en},
                                  {"stepper_step", pins::stepper_step}, {"stepper_dir", pins::stepper_dir}})
    pins[name] = g.level(pin) ? 1 : 0;
  pins["powered"] = m.powered();
  r["pins"] = pins;
  Car& car = world_->car;
  const CarTruth& truth = car.truth();
  ojson w;
  w["ignition"] = world_->ignition.on();
  w["speed_kmh"] = json_number(car.speed_kmh());
  w["rpm"] = json_number(car.rpm());
  w["fuel"] = to_string(car.fuel());
  w["distance_petrol_km"] = json_number(truth.distance_petrol_km);
  w["distance_lpg_km"] = json_number(truth.distance_lpg_km);
  w["fuel_petrol_l"] = json_number(truth.fuel_petrol_l);
  w["fuel_lpg_l"] = json_number(truth.fuel_lpg_l);
  w["tank_petrol_l"] = json_number(car.petrol_litres());
  w["tank_lpg_l"] = json_number(car.lpg_litres());
  for (auto& part : world_->parts()) part->trace(w);
  r["world"] = w;
  return r;
}

void Runner::write_json(const std::string& file, const ojson& value) const {
  if (!options_.write_files) return;
  write_file(output_path(file), value.dump(2) + '\n');
}

void Runner::snapshot(const std::string& name) {
  write_json("state-" + name + ".json", record(true));
  snapshot_parts(name);
}

void Runner::snapshot_parts(const std::string& name) {
  if (!options_.write_files) return;
  for (auto& part : world_->parts()) part->snapshot(options_.out_dir, name);
}

void Runner::run_until(double s) { machine_->run_until(seconds(s)); }

Time Runner::advance_to(Time t) {
  machine_->run_until(t);
  return machine_->now();
}

void Runner::apply_command(const std::string& kind, const json& value, const Action& action) {
  StepContext ctx{*world_, *this};
  action.apply(ctx);
  applied_.push_back(AppliedCommand{machine_->now(), kind, value});
  timeline_->rearm();
}

std::size_t Runner::timeline_steps_applied() const { return timeline_->applied(); }

void Runner::set_trace_sink(TraceSink* sink) { tracer_->set_sink(sink); }

RunSummary Runner::run() {
  machine_->run_until(seconds(scenario_.end));
  return finish();
}

RunSummary Runner::finish() {
  if (finished_) throw RunError("the run has already finished");
  finished_ = true;
  if (tracer_->last() != machine_->now()) tracer_->line();  // the last moment, if not on an interval
  tracer_->close();
  write_json("final.json", last_powered_->final_record(record(true)));
  snapshot_parts("final");
  for (auto& part : world_->parts()) part->finish(options_.write_files ? options_.out_dir : std::string());
  RunSummary summary;
  summary.virtual_seconds = host::to_seconds(machine_->now());
  summary.stats = machine_->stats();
  summary.truth = world_->car.truth();
  summary.trace_lines = tracer_->lines();
  return summary;
}

}  // namespace sim
