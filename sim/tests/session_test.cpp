// A session driven by hand: the pacer's plans, commands read like scenario
// steps, and the recording, whose saved scenario replays the session exactly.
#include <gtest/gtest.h>

#include <thread>

#include "scratch_dir.h"
#include "sim/command_queue.h"
#include "sim/eeprom_world.h"
#include "sim/ili9488.h"
#include "sim/live.h"
#include "sim/pacer.h"
#include "sim/session.h"

namespace {

using host::Time;
using sim::Pacer;
using Clock = Pacer::Clock;
using std::chrono::milliseconds;

constexpr Time kMs = host::kTimePerMs;
constexpr Time kSecond = host::kTimePerSecond;

// ---- the pacer

TEST(Pacer, RealTimeRunsWithTheClockAtItsFactorAndWaitsWhenAhead) {
  Pacer p;
  const auto t0 = Clock::now();
  p.real_time(2.0, 10 * kSecond, t0);
  // Nothing is due at the very start: wait about a slice.
  Pacer::Plan plan = p.plan(10 * kSecond, t0);
  EXPECT_EQ(plan.target, 10 * kSecond);
  EXPECT_GT(plan.wake, t0);
  EXPECT_LE(plan.wake, t0 + milliseconds(200));
  // 5 ms of wall time at twice real time is 10 ms of virtual time.
  plan = p.plan(10 * kSecond, t0 + milliseconds(5));
  EXPECT_NEAR(static_cast<double>(plan.target - 10 * kSecond), 10.0 * kMs, 2);
  // Runs at most a slice at a time, even when more is due.
  plan = p.plan(10 * kSecond, t0 + milliseconds(100));
  EXPECT_NEAR(static_cast<double>(plan.target - 10 * kSecond), 20.0 * kMs, 2);
}

TEST(Pacer, FallingFarBehindGivesTheTimeUpInsteadOfABurst) {
  Pacer p;
  const auto t0 = Clock::now();
  p.real_time(1.0, 0, t0);
  // Two wall seconds later the machine is still at 0: it goes on from there.
  Pacer::Plan plan = p.plan(0, t0 + std::chrono::seconds(2));
  EXPECT_EQ(plan.target, 0u);
  plan = p.plan(0, t0 + std::chrono::seconds(2) + milliseconds(5));
  EXPECT_NEAR(static_cast<double>(plan.target), 5.0 * kMs, 2);
}

TEST(Pacer, PausedRunsNothingAndAStepRunsExactlyItsLengthThenPauses) {
  Pacer p;
  const auto t0 = Clock::now();
  p.pause();
  EXPECT_EQ(p.plan(3 * kSecond, t0).target, 3 * kSecond);
  p.step(120 * kMs, 3 * kSecond);
  Time now = 3 * kSecond;
  int slices = 0;
  for (Pacer::Plan plan = p.plan(now, t0); plan.target > now; plan = p.plan(now, t0)) {
    now = plan.target;
    ++slices;
  }
  EXPECT_EQ(now, 3 * kSecond + 120 * kMs);
  EXPECT_EQ(slices, 3);  // 50 + 50 + 20 ms
  EXPECT_FALSE(p.stepping());
  EXPECT_EQ(p.mode(), Pacer::Mode::Paused);
}

TEST(Pacer, FastestRunsWithoutWaitingAndNeverStopsOnAWholeMillisecond) {
  Pacer p;
  p.fastest();
  const auto t0 = Clock::now();
  Time now = 0;
  for (int i = 0; i < 5; ++i) {
    const Pacer::Plan plan = p.plan(now, t0);
    EXPECT_GT(plan.target, now);
    EXPECT_NE(plan.target % kMs, 0u);
    EXPECT_EQ(plan.wake, t0);
    now = plan.target;
  }
}

// ---- commands

std::string refusal(const std::string& text) {
  try {
    sim::parse_command_text(text);
  } catch (const sim::ScenarioError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(Command, IsOneScenarioStepWithoutItsTimeCheckedByTheStepsOwnReader) {
  const sim::Command c = sim::parse_command_text(R"({"engine": {"rpm": 2000}})");
  EXPECT_EQ(c.kind, "engine");
  EXPECT_EQ(c.value, sim::json::parse(R"({"rpm": 2000})"));
  EXPECT_NE(c.action, nullptr);
  // The ranges of the scenario format.
  EXPECT_EQ(refusal(R"({"engine": {"rpm": 20000}})"), "command: engine.rpm: value 20000 out of range 0..9000");
  EXPECT_NE(refusal(R"({"turn": 0})").find("turn by at least one detent"), std::string::npos);
  EXPECT_NE(refusal(R"({"press": 0})").find("press: value 0 out of range"), std::string::npos);
  EXPECT_NE(refusal(R"({"snapshot": "final"})").find("names the pictures of the run's end"), std::string::npos);
  // The shape of a command.
  EXPECT_NE(refusal(R"({"fly": 1})").find("unknown command (expected one of: ignition, engine"), std::string::npos);
  EXPECT_NE(refusal(R"({"at": 3})").find("no at or wait"), std::string::npos);
  EXPECT_NE(refusal(R"({"wait": 3})").find("no at or wait"), std::string::npos);
  EXPECT_NE(refusal(R"({"turn": 1, "press": 0.1})").find("one field"), std::string::npos);
  EXPECT_NE(refusal(R"([{"turn": 1}])").find("expected an object"), std::string::npos);
  EXPECT_NE(refusal(R"({"turn": 1)").find("invalid JSON"), std::string::npos);
  EXPECT_NE(refusal(R"({"turn": 1, "turn": 2})").find("invalid JSON"), std::string::npos);
}

TEST(CommandQueue, KeepsTheOrderOfEachSenderAndLosesNothing) {
  sim::CommandQueue q;
  const sim::Command proto = sim::parse_command_text(R"({"turn": 1})");
  std::vector<std::thread> senders;
  for (int s = 0; s < 4; ++s)
    senders.emplace_back([&, s] {
      for (int i = 0; i < 250; ++i) {
        sim::Command c = proto;
        c.value = s * 1000 + i;
        q.post(c);
      }
    });
  std::vector<sim::Command> got;
  while (got.size() < 1000) {
    for (auto& c : q.take()) got.push_back(std::move(c));
  }
  for (auto& t : senders) t.join();
  EXPECT_TRUE(q.empty());
  int last[4] = {-1, -1, -1, -1};
  for (const auto& c : got) {
    const int v = c.value.get<int>();
    EXPECT_GT(v % 1000, last[v / 1000]);
    last[v / 1000] = v % 1000;
  }
}

// ---- recording and replay

struct Lines final : sim::TraceSink {
  std::vector<std::string> lines;
  void line(const sim::ojson& r) override { lines.push_back(r.dump()); }
};

const char* kDrive = R"({
  "eeprom": {"record": {"pbcap": 45, "lpgcap": 30}},
  "steps": [
    {"at": 0, "ignition": true},
    {"at": 1, "engine": {"rpm": 1800, "petrol_ms": 4.0, "lpg_ms": 4.5}},
    {"speed": {"kmh": 40, "over": 5}},
    {"at": 4, "snapshot": "early"},
    {"at": 9, "fuel": "lpg"},
    {"wait": 30}
  ]})";

sim::SessionStart drive_start(const std::filesystem::path& dir) {
  const auto file = dir / "drive.json";
  sim::write_file(file.string(), kDrive);
  return sim::session_start(file.string());
}

sim::RunOptions quiet_options() {
  sim::RunOptions o;
  o.write_files = false;
  return o;
}

// The saved scenario, run as `kp-sim run` runs it: its trace and last picture.
std::pair<std::vector<std::string>, sim::Picture> replay(const std::string& file) {
  sim::Runner r(sim::load_scenario_file(file), quiet_options());
  Lines lines;
  r.set_trace_sink(&lines);
  r.run();
  return {lines.lines, r.world().part<sim::TftDisplay>()->panel.picture()};
}

TEST(Recording, ASavedSessionReplaysToTheSameTraceAndPicture) {
  const auto dir = scratch("recording");
  Lines live;
  sim::Picture shown;
  sim::SavedSession saved;
  Time t = 0;
  const char* commands[] = {R"({"turn": 1})", R"({"press": 0.2})", R"({"speed": {"kmh": 70, "over": 3}})",
                            R"({"outside_temp": -5})", R"({"turn": -1})", R"({"fill": {"fuel": "lpg", "litres": 5}})"};
  {
    sim::Session s(drive_start(dir), quiet_options());
    s.runner().set_trace_sink(&live);
    // Uneven slices, as the pacer makes them, and commands between some.
    std::size_t next = 0;
    for (int i = 1; t < 14 * kSecond; ++i) {
      t = s.runner().advance_to(t + (37 + (i * 7919) % 113) * kMs + 1);
      if (i % 9 == 0 && next < std::size(commands)) s.apply(sim::parse_command_text(commands[next++]));
    }
    ASSERT_EQ(next, std::size(commands));
    ASSERT_EQ(s.runner().applied_commands().size(), std::size(commands));
    shown = s.runner().world().part<sim::TftDisplay>()->panel.picture();
    saved = s.save(dir.string());
  }  // one machine at a time
  EXPECT_DOUBLE_EQ(saved.at, host::to_seconds(t));
  // The timeline's steps that took effect (ignition, engine, speed, snapshot,
  // fuel), the commands, and the end.
  EXPECT_EQ(saved.steps, 5 + std::size(commands));

  auto [lines, picture] = replay(saved.scenario_file);
  // The live trace's last line is written at the end of a run: the replay's.
  ASSERT_EQ(lines.size(), live.lines.size() + 1);
  for (std::size_t i = 0; i < live.lines.size(); ++i) ASSERT_EQ(lines[i], live.lines[i]) << "line " << i;
  EXPECT_EQ(picture.rgb, shown.rgb);
  EXPECT_EQ(sim::read_png(saved.tft_file).rgb, shown.rgb);
  // And twice the same.
  EXPECT_EQ(replay(saved.scenario_file).first, lines);
}

TEST(Recording, TheStartImageOfTheChipAndItsFaultGoWithTheSavedSession) {
  const auto dir = scratch("recording-eeprom");
  sim::RunOptions o = quiet_options();
  std::vector<std::uint8_t> image(1024, 0xFF);
  image[100] = 0x42;
  o.eeprom_file = sim::RunOptions::EepromFile{(dir / "unit.bin").string(), image};
  sim::Session s(drive_start(dir), o);
  s.runner().advance_to(2 * kSecond + 1);
  s.eeprom_stops_answering();
  const double stopped = host::to_seconds(s.runner().now());
  s.runner().advance_to(3 * kSecond + 1);
  const sim::SavedSession saved = s.save(dir.string(), "with-chip");
  EXPECT_EQ(sim::read_eeprom_image((dir / "with-chip-eeprom.bin").string()), image);
  const sim::Scenario back = sim::load_scenario_file(saved.scenario_file);
  ASSERT_TRUE(back.eeprom.image);
  EXPECT_EQ(*back.eeprom.image, image);
  ASSERT_TRUE(back.eeprom.stops_answering_at);
  EXPECT_DOUBLE_EQ(*back.eeprom.stops_answering_at, stopped);
  // Started again, the session keeps the fault as its scenario now has it.
  s.restart(true);
  EXPECT_EQ(s.runner().now(), 0u);
  ASSERT_TRUE(s.runner().scenario().eeprom.stops_answering_at);
  EXPECT_DOUBLE_EQ(*s.runner().scenario().eeprom.stops_answering_at, stopped);
}

TEST(Recording, ASnapshotNameTakenInTheSessionIsRefusedAndNothingIsApplied) {
  const auto dir = scratch("recording-names");
  sim::Session s(drive_start(dir), quiet_options());
  s.runner().advance_to(kSecond);
  EXPECT_THROW(s.apply(sim::parse_command_text(R"({"snapshot": "EARLY"})")), sim::ScenarioError);
  s.apply(sim::parse_command_text(R"({"snapshot": "mine"})"));
  EXPECT_THROW(s.apply(sim::parse_command_text(R"({"snapshot": "mine"})")), sim::ScenarioError);
  EXPECT_EQ(s.runner().applied_commands().size(), 1u);
}

TEST(Recording, NothingIsSavedBeforeTheSessionHasRun) {
  sim::Session fresh(sim::session_start(std::nullopt), quiet_options());
  EXPECT_THROW(fresh.save(scratch("recording-empty").string()), sim::ScenarioError);
}

// ---- the live session's thread

TEST(LiveSession, CommandsAreCheckedBeforeTheyReachTheSimulationAndStepsRunTheirLength) {
  const auto dir = scratch("live");
  sim::LiveSession live(drive_start(dir), quiet_options(), dir.string());
  live.rate(sim::json{{"mode", "paused"}});
  EXPECT_THROW(live.command(sim::json{{"turn", 0}}), sim::ScenarioError);
  EXPECT_THROW(live.rate(sim::json{{"mode", "warp"}}), sim::ScenarioError);
  EXPECT_THROW(live.rate(sim::json{{"step", -1}}), sim::ScenarioError);
  const double t0 = live.call([](sim::Session& s, Pacer&) { return host::to_seconds(s.runner().now()); });
  live.rate(sim::json{{"step", 0.25}});
  // The step is done when the pacer no longer steps.
  double t = 0;
  for (int i = 0; i < 2000; ++i) {
    const sim::json st = live.call([](sim::Session& s, Pacer& p) {
      return sim::json{{"t", host::to_seconds(s.runner().now())}, {"stepping", p.stepping()}};
    });
    t = st["t"].get<double>();
    if (!st["stepping"].get<bool>()) break;
    std::this_thread::sleep_for(milliseconds(5));
  }
  EXPECT_NEAR(t - t0, 0.25, 1e-5);
  const sim::json applied = live.command(sim::json{{"turn", 1}});
  EXPECT_DOUBLE_EQ(applied["at"].get<double>(), t);
  EXPECT_EQ(live.call([](sim::Session& s, Pacer&) { return s.runner().applied_commands().size(); }), 1u);
  // The stream has the pictures and the trace's rows.
  live.call([](sim::Session&, Pacer&) { return sim::json(); });
  const sim::json state = sim::json::parse(live.stream().state(0, 0, milliseconds(0)));
  EXPECT_GT(state["tft_frame"].get<int>(), 0);
  EXPECT_FALSE(state["rows"].empty());
  EXPECT_EQ(state["rows"][0]["t"], 0);
  live.stop();
  EXPECT_THROW(live.command(sim::json{{"turn", 1}}), sim::RunError);
}

}  // namespace
