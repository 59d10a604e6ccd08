// The command line as a user meets it: help and version, "did you mean",
// the output directory of a run, the progress line on a terminal, the
// scenario's record over an --eeprom file, and final.json.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "program.h"
#include "scratch_dir.h"
#include "sim/suggest.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

TEST(CliHelp, EveryCommandHasHelpAndTheProgramItsVersion) {
  for (const char* c : {"--help", "run --help", "report --help", "list --help", "eeprom --help", "eeprom show --help"}) {
    const Program r = kp_sim_out(c);
    EXPECT_EQ(r.status, 0) << c;
    EXPECT_NE(r.out.find("Usage: kp-sim"), std::string::npos) << c << ": " << r.out;
  }
  EXPECT_NE(kp_sim_out("run --help").out.find("--eeprom"), std::string::npos);
  EXPECT_NE(kp_sim_out("eeprom show --help").out.find("--json"), std::string::npos);
  const Program v = kp_sim_out("--version");
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out.rfind("kp-sim ", 0), 0u);
  EXPECT_EQ(lines_in(v.out), 1);
  // With nothing to do, the usage and exit status 2, as before.
  const Program none = kp_sim_out("");
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.out.find("usage: kp-sim run"), std::string::npos);
}

TEST(CliHelp, AMisspeltNameGetsTheNearestOneInItsOneLine) {
  struct Case {
    std::string args, says;
  };
  const Case cases[] = {
      {"run defualt", "defualt: no built-in scenario of that name (did you mean default?)"},
      {"run TOUR", "(did you mean tour?)"},
      {"run --ot /tmp/x", "unknown option --ot for run (did you mean --out?)"},
      {"run --eepron=x.bin", "unknown option --eepron=x.bin for run (did you mean --eeprom?)"},
      {"eeprom show x.bin --jsno", "(did you mean --json?)"},
      {"rpeort", "unknown command rpeort (did you mean report?)"},
      {"--verison", "(did you mean --version?)"},
  };
  for (const Case& c : cases) {
    const Program r = kp_sim_err(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(lines_in(r.out), 1) << c.args << ": " << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << ": " << r.out;
  }
  // A misspelt value of the record in a scenario.
  const fs::path dir = scratch("misspelt");
  std::ofstream(dir / "rec.json") << R"({"eeprom": {"record": {"spd_cal": 1.1}}, "steps": [{"wait": 1}]})";
  const Program rec = kp_sim_err("run " + (dir / "rec.json").string() + " --out " + (dir / "out").string());
  EXPECT_EQ(rec.status, 2);
  EXPECT_NE(rec.out.find("rec.json: eeprom.record.spd_cal: not a value of the record (did you mean SPD_CAL?)"),
            std::string::npos)
      << rec.out;
  // Far from every name: no guess.
  EXPECT_EQ(kp_sim_err("run xyzzy").out.find("did you mean"), std::string::npos);
  EXPECT_EQ(kp_sim_err("frobnicate").out.find("did you mean"), std::string::npos);
}

TEST(CliHelp, TheNearestNameIsASlipNotAnyWord) {
  const std::vector<std::string> names = {"default", "cruise", "tour", "long-idle", "first-setup"};
  EXPECT_EQ(sim::closest("defualt", names), "default");  // two letters swapped: one edit
  EXPECT_EQ(sim::closest("crusie", names), "cruise");
  EXPECT_EQ(sim::closest("long_idle", names), "long-idle");
  EXPECT_EQ(sim::closest("tuor", names), "tour");
  EXPECT_EQ(sim::closest("tr", names), std::nullopt);
  EXPECT_EQ(sim::closest("idle", names), std::nullopt);
  EXPECT_EQ(sim::closest("", names), std::nullopt);
  EXPECT_EQ(sim::closest(std::string(500, 'a'), names), std::nullopt);
  EXPECT_EQ(sim::edit_distance("kitten", "sitting"), 3u);
  EXPECT_EQ(sim::edit_distance("", "abc"), 3u);
}

const char* kWithSnapshot = R"({"steps": [{"ignition": true}, {"at": 2, "snapshot": "mid"}, {"wait": 2}]})";
const char* kWithout = R"({"eeprom": {"present": false}, "steps": [{"ignition": true}, {"wait": 3}]})";

TEST(CliOutDir, AnEarlierRunsFilesGoAndEverythingElseStays) {
  const fs::path dir = scratch("outdir");
  std::ofstream(dir / "one.json") << kWithSnapshot;
  std::ofstream(dir / "two.json") << kWithout;
  const fs::path out = dir / "out";
  ASSERT_EQ(kp_sim_err("run " + (dir / "one.json").string() + " --quiet --out " + out.string()).status, 0);
  ASSERT_TRUE(fs::exists(out / "state-mid.json"));
  ASSERT_TRUE(fs::exists(out / "eeprom.bin"));
  std::ofstream(out / "notes.txt") << "mine";
  fs::create_directories(out / "tft-folder.png");
  fs::create_symlink(dir / "one.json", out / "state-link.json");
  ASSERT_EQ(kp_sim_err("run " + (dir / "two.json").string() + " --quiet --out " + out.string()).status, 0);
  // No snapshot or memory of the first run is left to pass for the second's.
  EXPECT_FALSE(fs::exists(out / "state-mid.json"));
  EXPECT_FALSE(fs::exists(out / "tft-mid.png"));
  EXPECT_FALSE(fs::exists(out / "eeprom.bin"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(out / "state-link.json")));
  EXPECT_TRUE(fs::exists(dir / "one.json"));  // the link went, not its target
  EXPECT_EQ(read_whole(out / "notes.txt"), "mine");
  EXPECT_TRUE(fs::is_directory(out / "tft-folder.png"));
  EXPECT_TRUE(fs::exists(out / "trace.jsonl"));
  EXPECT_TRUE(fs::exists(out / "report.html"));

  // A refused run leaves the earlier one as it was.
  ASSERT_EQ(kp_sim_err("run " + (dir / "one.json").string() + " --quiet --out " + out.string()).status, 0);
  std::ofstream(dir / "short.bin") << std::string(10, 'x');
  EXPECT_EQ(kp_sim_err("run " + (dir / "one.json").string() + " --eeprom " + (dir / "short.bin").string() +
                       " --out " + out.string()).status, 2);
  EXPECT_TRUE(fs::exists(out / "state-mid.json"));

  const Program file = kp_sim_err("run " + (dir / "one.json").string() + " --out " + (out / "notes.txt").string());
  EXPECT_EQ(file.status, 2);
  EXPECT_EQ(lines_in(file.out), 1);
  EXPECT_NE(file.out.find("notes.txt: not a directory"), std::string::npos) << file.out;
}

TEST(CliProgress, ATerminalSeesTheProgressAndTheRunComputesTheSame) {
  const fs::path dir = scratch("progress");
  std::ofstream(dir / "drive.json") << R"({"steps": [{"ignition": true}, {"at": 1, "engine": {"rpm": 900, "petrol_ms": 3}},
      {"speed": {"kmh": 50, "over": 5}}, {"at": 25, "snapshot": "mid"}, {"wait": 10}]})";
  const std::string run = std::string(KP_SIM_PATH) + " run " + (dir / "drive.json").string();
  // script(1) gives the program a terminal; what it shows comes back in the log.
  const Program tty = run_shell("script -qec '" + run + " --out " + (dir / "tty").string() + "' " +
                                (dir / "tty.log").string(), false);
  ASSERT_EQ(tty.status, 0);
  const std::string log = read_whole(dir / "tty.log");
  EXPECT_NE(log.find("of 35.0 s virtual ("), std::string::npos) << log;
  EXPECT_NE(log.find("report: "), std::string::npos);
  const Program quiet = run_shell("script -qec '" + run + " --quiet --out " + (dir / "quiet").string() + "' " +
                                  (dir / "quiet.log").string(), false);
  ASSERT_EQ(quiet.status, 0);
  EXPECT_EQ(read_whole(dir / "quiet.log").find("s virtual"), std::string::npos);
  // Piped: no progress on stderr.
  const Program piped = run_shell(run + " --out " + (dir / "piped").string(), true);
  ASSERT_EQ(piped.status, 0);
  EXPECT_EQ(piped.out, "");
  for (const char* f : {"trace.jsonl", "final.json", "state-mid.json", "tft-mid.png", "eeprom.bin", "report.html"}) {
    EXPECT_EQ(read_whole(dir / "tty" / f), read_whole(dir / "piped" / f)) << f;
    EXPECT_EQ(read_whole(dir / "quiet" / f), read_whole(dir / "piped" / f)) << f;
  }
}

// The record's bytes of one value in an image file, by `kp-sim eeprom show --json`.
json shown(const fs::path& image, const std::string& name) {
  const Program r = kp_sim_out("eeprom show --json " + image.string());
  const json d = json::parse(r.out);
  for (const auto& f : d["fields"])
    if (f["name"] == name) return f;
  return json();
}

TEST(CliEepromRecord, TheScenariosRecordGoesOverTheFileAndAnUnacceptedValueIsWrittenWithAWarning) {
  const fs::path dir = scratch("overlay");
  const fs::path image = dir / "unit.bin";
  std::ofstream(dir / "drive.json") << R"({"eeprom": {"record": {"offtime": 0.0, "pbcap": 60}},
    "steps": [{"ignition": true}, {"at": 1, "engine": {"rpm": 1500, "petrol_ms": 4}},
              {"speed": {"kmh": 72, "over": 2}}, {"at": 40, "speed": 0}, {"at": 41, "engine": {"rpm": 0}},
              {"at": 42, "ignition": false}, {"wait": 10}]})";
  const Program first = kp_sim_err("run " + (dir / "drive.json").string() + " --quiet --eeprom " + image.string() +
                                   " --out " + (dir / "one").string());
  ASSERT_EQ(first.status, 0) << first.out;
  EXPECT_EQ(first.out, "");  // every value acceptable: no warning
  const double km = shown(image, "ch[0].distpb")["value"].get<double>();
  ASSERT_GT(km, 0.5);

  // The second scenario sets two values; the file keeps everything else
  // (the first drive's channels, its capacity of 60 l).
  std::ofstream(dir / "odd.json") << R"({"eeprom": {"record": {"lpgtype": 7, "offtime": 0.0, "lpgcap": 40}},
    "steps": [{"ignition": true}, {"at": 5, "snapshot": "start"}, {"at": 6, "ignition": false}, {"wait": 5}]})";
  const Program second = kp_sim_err("run " + (dir / "odd.json").string() + " --quiet --eeprom " + image.string() +
                                    " --out " + (dir / "two").string());
  ASSERT_EQ(second.status, 0) << second.out;
  ASSERT_EQ(lines_in(second.out), 1) << second.out;
  EXPECT_EQ(second.out.rfind("kp-sim: warning: ", 0), 0u) << second.out;
  EXPECT_NE(second.out.find("odd.json: eeprom.record.lpgtype: 7 is outside what the unit accepts; written as asked, "
                            "the unit repairs it to 1 at start-up"),
            std::string::npos)
      << second.out;
  const json start = json::parse(read_whole(dir / "two" / "state-start.json"));
  EXPECT_EQ(start["pbcap"], 60);
  EXPECT_EQ(start["lpgcap"], 40);
  EXPECT_DOUBLE_EQ(start["ch"][0]["distpb"].get<double>(), km);
  // The unit's own check repaired what it does not accept, counted it, and
  // stored the repaired value at its power-down.
  EXPECT_EQ(start["lpgtype"], 1);
  EXPECT_EQ(start["eeprom_errors"], 1);
  EXPECT_EQ(shown(image, "lpgtype")["value"], 1);
  EXPECT_EQ(shown(image, "lpgcap")["value"], 40);

  // Without --eeprom the record goes over a fresh, plausible record: the
  // same warning, from a built-in-like start.
  const Program alone = kp_sim_err("run " + (dir / "odd.json").string() + " --quiet --out " + (dir / "three").string());
  ASSERT_EQ(alone.status, 0);
  EXPECT_EQ(lines_in(alone.out), 1) << alone.out;
  EXPECT_NE(alone.out.find("eeprom.record.lpgtype: 7"), std::string::npos);
}

TEST(CliFinal, FinalJsonSaysWhenTheUnitEndedUnpoweredAndKeepsItsLastPoweredGlobals) {
  const fs::path dir = scratch("final");
  std::ofstream(dir / "off.json") << R"({"eeprom": {"record": {"offtime": 0.0}},
    "steps": [{"ignition": true}, {"at": 1, "engine": {"rpm": 1500, "petrol_ms": 4}},
              {"speed": {"kmh": 72, "over": 2}}, {"at": 20, "speed": 0}, {"at": 21, "engine": {"rpm": 0}},
              {"at": 22, "ignition": false}, {"wait": 20}]})";
  std::ofstream(dir / "on.json") << R"({"steps": [{"ignition": true}, {"wait": 6}]})";
  std::ofstream(dir / "never.json") << R"({"steps": [{"wait": 3}]})";
  ASSERT_EQ(kp_sim_err("run " + (dir / "off.json").string() + " --quiet --out " + (dir / "off").string()).status, 0);
  ASSERT_EQ(kp_sim_err("run " + (dir / "on.json").string() + " --quiet --out " + (dir / "on").string()).status, 0);
  ASSERT_EQ(kp_sim_err("run " + (dir / "never.json").string() + " --quiet --out " + (dir / "never").string()).status, 0);

  const json off = json::parse(read_whole(dir / "off" / "final.json"));
  EXPECT_EQ(off["t"], 42);
  EXPECT_EQ(off["ended_unpowered"], true);
  const double lost = off["last_powered_t"].get<double>();
  EXPECT_GT(lost, 22.0);  // after the key, once the unit stored its record
  EXPECT_LT(lost, 42.0);
  EXPECT_FALSE(off["pins"]["powered"].get<bool>());
  // The globals of that moment: the drive's distance, the stored record's values.
  EXPECT_GT(off["distpb"].get<double>(), 0.2);
  EXPECT_DOUBLE_EQ(off["ch"][0]["distpb"].get<double>(), off["distpb"].get<double>());
  EXPECT_EQ(off["offtime"], 0.0);
  EXPECT_TRUE(off.contains("world"));

  const json on = json::parse(read_whole(dir / "on" / "final.json"));
  EXPECT_EQ(on["ended_unpowered"], false);
  EXPECT_FALSE(on.contains("last_powered_t"));
  EXPECT_TRUE(on.contains("distpb"));

  const json never = json::parse(read_whole(dir / "never" / "final.json"));
  EXPECT_EQ(never["ended_unpowered"], true);
  EXPECT_FALSE(never.contains("last_powered_t"));
  EXPECT_FALSE(never.contains("distpb"));
}

}  // namespace
