// Scenario files: what is accepted, and the one-line message for what is not.
#include <gtest/gtest.h>

#include "sim/scenario.h"
#include "scenario_error.h"

namespace {

std::string error_of(const std::string& text) { return scenario_error_of(text); }

TEST(Scenario, ReadsCarStepsAndTimes) {
  const sim::Scenario sc = sim::parse_scenario(R"({
    "car": {"pulses_per_km": 5000, "lpg_system": "level", "petrol_ml_per_ms": 0.02},
    "steps": [
      {"ignition": true},
      {"at": 2, "engine": {"rpm": 800, "petrol_ms": 3}},
      {"wait": 1.5},
      {"speed": {"kmh": 50, "over": 10}},
      {"turn": -2},
      {"snapshot": "town-1"},
      {"wait": 4}
    ]})",
                                               "x.json");
  EXPECT_EQ(sc.car.pulses_per_km, 5000);
  EXPECT_EQ(sc.car.lpg_system, sim::LpgSystem::Level);
  EXPECT_DOUBLE_EQ(sc.car.petrol_litres_per_ms, 0.00002);
  ASSERT_EQ(sc.steps.size(), 5u);
  EXPECT_EQ(sc.steps[0].at, 0);
  EXPECT_EQ(sc.steps[0].kind, "ignition");
  EXPECT_EQ(sc.steps[1].at, 2);
  EXPECT_EQ(sc.steps[1].place, "steps[1].engine");
  EXPECT_EQ(sc.steps[2].at, 3.5);  // after the wait
  EXPECT_EQ(sc.steps[2].kind, "speed");
  EXPECT_EQ(sc.steps[3].at, 3.5);
  EXPECT_EQ(sc.steps[4].kind, "snapshot");
  EXPECT_EQ(sc.end, 7.5);
}

TEST(Scenario, EveryProblemIsOneLineWithFilePlaceAndProblem) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"{\"steps\": [\n  {\"wait\": 1},\n  {\"wait\" 2}\n]}", "drive.json:3:11: invalid JSON: syntax error"},
      {R"({"steps": [{"wait": 1}, {"jump": 3}]})", "drive.json: steps[1].jump: unknown field (expected one of:"},
      {R"({"steps": [{"engine": {"rpm": 12000}}]})", "drive.json: steps[0].engine.rpm: value 12000 out of range 0..9000"},
      {R"({"steps": [{"engine": {"revs": 1}}]})", "drive.json: steps[0].engine.revs: unknown field"},
      {R"({"steps": [{"ignition": "on"}]})", "drive.json: steps[0].ignition: expected true or false, found a string"},
      {R"({"steps": [{"at": 5, "wait": 1}, {"at": 2, "ignition": true}]})",
       "drive.json: steps[1].at: time 2 s is before the previous step (6 s)"},
      {R"({"steps": [{"turn": 1.5}]})", "drive.json: steps[0].turn: expected a whole number, found 1.5"},
      {R"({"steps": [{"fuel": "diesel"}]})", "drive.json: steps[0].fuel: \"diesel\" is not one of petrol, lpg"},
      {R"({"steps": [{"ignition": true, "wait": 3}]})", "drive.json: steps[0]: one action per step"},
      {R"({"steps": [{"snapshot": "a/b"}]})", "drive.json: steps[0].snapshot: \"a/b\" may only hold"},
      {R"({"car": {"lpg_system": "gas"}, "steps": []})", "drive.json: car.lpg_system: \"gas\" is not"},
      {R"({"steps": [{"ignition": true}]})", "drive.json: steps: the timeline is empty"},
      {R"([1, 2])", "drive.json: top level: expected an object, found a list"},
      {R"({"speed": 3})", "drive.json: speed: unknown field"},
  };
  for (const Case& c : cases) {
    const std::string e = error_of(c.text);
    EXPECT_EQ(e.rfind(c.message, 0), 0u) << "got: " << e;
    EXPECT_EQ(e.find('\n'), std::string::npos) << e;
  }
}

TEST(Scenario, NumbersBeyondTheirTypesAreRefusedNotWrapped) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {R"({"steps": [{"at": 1e309, "ignition": true}]})",
       "drive.json:1:23: invalid JSON: number 1e309 is beyond the range of a double"},
      {"{\"steps\": [\n {\"wait\": -1e400}]}", "drive.json:2:16: invalid JSON: number -1e400 is beyond"},
      {R"({"steps": [{"turn": 18446744073709551615}, {"wait": 1}]})",
       "drive.json: steps[0].turn: value 18446744073709551615 out of range -100..100"},
      {R"({"steps": [{"turn": 9223372036854775808}, {"wait": 1}]})", "drive.json: steps[0].turn: value 9223372036854775808 out"},
      {R"({"eeprom": {"record": {"lpgcap": 18446744073709551316}}, "steps": [{"wait": 1}]})",
       "drive.json: eeprom.record.lpgcap: value 18446744073709551316 out of range"},
      {R"({"steps": [{"turn": -9223372036854775809}, {"wait": 1}]})", "drive.json: steps[0].turn: expected a whole number"},
  };
  for (const Case& c : cases) {
    const std::string e = error_of(c.text);
    EXPECT_EQ(e.rfind(c.message, 0), 0u) << "got: " << e;
  }
  // Two months of waits, each within its own bound.
  EXPECT_EQ(error_of(R"({"steps": [{"wait": 2592000}, {"wait": 1}]})"),
            "drive.json: steps[1].wait: the timeline would run to 2.592e+06 s, beyond a month (2.592e+06 s)");
  EXPECT_EQ(error_of(R"({"steps": [{"wait": 2591999}, {"wait": 1}]})"), "");
}

TEST(Scenario, TextTheParserWouldQuietlyTakeOtherwiseIsRefused) {
  struct Case {
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {R"({"steps": [{"at": 1, "engine": {"rpm": 900, "rpm": 9}}, {"wait": 1}]})",
       "drive.json: steps[0].engine.rpm: the field is given twice"},
      {R"({"steps": [{"wait": 1}], "steps": []})", "drive.json: steps: the field is given twice"},
      {std::string(R"({"steps": [{"wait": 1}]})") + '\0' + R"({"nothing": 1})", "drive.json:1:25: invalid JSON: a NUL byte"},
      {std::string(100, '[') + std::string(100, ']'), "drive.json: [0][0][0]"},
  };
  for (const Case& c : cases) {
    const std::string e = error_of(c.text);
    EXPECT_EQ(e.rfind(c.message, 0), 0u) << "got: " << e;
  }
  EXPECT_NE(error_of(std::string(100, '[') + std::string(100, ']')).find("nested deeper than 64 levels"),
            std::string::npos);
}

TEST(Scenario, UserTextInAMessageIsEscapedAndCut) {
  const std::string long_key(5000, 'k');
  const std::string texts[] = {
      "{\"steps\": [{\"fuel\": \"die\\u001b[2Jsel\\n\"}]}",
      "{\"car\": {\"" + long_key + "\": 1}, \"steps\": []}",
      "{\"steps\": [{\"snapshot\": \"" + long_key + "\\u0007\"}]}",
      "{\"x\xc2\x85y\": 1}",
      "{\"steps\": [{\"wait\": 1}], \"trace_interval\": \"" + long_key + "\" \x1b ]}",
  };
  for (const std::string& t : texts) {
    const std::string e = scenario_error_of(t, "dir/\x1b]0;title\x07.json");
    ASSERT_NE(e, "");
    EXPECT_LT(e.size(), 500u) << e;
    for (char ch : e) EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) << e;
    EXPECT_EQ(e.find("\xc2\x85"), std::string::npos) << e;
    EXPECT_EQ(e.rfind("dir/\\x1B]0;title\\x07.json", 0), 0u) << e;
  }
}

TEST(Scenario, SnapshotNamesAreUniqueAndLeaveFinalToTheEndOfTheRun) {
  EXPECT_EQ(error_of(R"({"steps": [{"snapshot": "final"}, {"wait": 1}]})").rfind(
                "drive.json: steps[0].snapshot: \"final\" names the pictures of the run's end", 0),
            0u);
  EXPECT_NE(error_of(R"({"steps": [{"snapshot": "FINAL"}, {"wait": 1}]})"), "");
  EXPECT_EQ(error_of(R"({"steps": [{"snapshot": "town"}, {"wait": 1}, {"snapshot": "Town"}, {"wait": 1}]})"),
            "drive.json: steps[2].snapshot: the snapshot name \"Town\" is taken by steps[0].snapshot (its files "
            "would be overwritten)");
  EXPECT_EQ(error_of(R"({"steps": [{"snapshot": "town"}, {"wait": 1}, {"snapshot": "town-2"}, {"wait": 1}]})"), "");
}

TEST(Scenario, BuiltInScenariosAreValidAndNamed) {
  ASSERT_NE(sim::find_builtin("default"), nullptr);
  for (const auto& b : sim::builtin_scenarios()) {
    const sim::Scenario sc = sim::resolve_scenario(b.name);
    EXPECT_EQ(sc.name, b.name);
    EXPECT_GT(sc.end, 60.0) << b.name;
  }
  try {
    sim::resolve_scenario("no-such-drive");
    FAIL();
  } catch (const sim::ScenarioError& e) {
    EXPECT_NE(std::string(e.what()).find("no built-in scenario"), std::string::npos);
  }
}

}  // namespace
