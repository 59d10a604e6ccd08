// The kp-sim program as a user meets it: exit codes, one-line messages, and
// runs that give the same bytes every time.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string err;
};

Result kp_sim(const std::string& args) {
  const std::string cmd = std::string(KP_SIM_PATH) + " " + args + " 2>&1 >/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char b[256];
  while (p != nullptr && std::fgets(b, sizeof b, p) != nullptr) out += b;
  const int rc = p != nullptr ? pclose(p) : -1;
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, out};
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

int count_lines(const std::string& s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

TEST(Cli, WrongOptionsAndBadFilesGetOneLineAndExitStatus2) {
  const fs::path dir = scratch("bad");
  std::ofstream(dir / "broken.json") << "{\"steps\": [ {\"wait\": 1}, ]}";
  std::ofstream(dir / "range.json") << "{\"steps\": [{\"engine\": {\"rpm\": -5}}, {\"wait\": 1}]}";
  const std::string cases[] = {
      "run --frobnicate",
      "run default --out",
      "fly",
      "run " + (dir / "missing.json").string(),
      "run " + (dir / "broken.json").string(),
      "run " + (dir / "range.json").string(),
      "run no-such-builtin",
  };
  for (const std::string& c : cases) {
    const Result r = kp_sim(c);
    EXPECT_EQ(r.status, 2) << c;
    EXPECT_EQ(count_lines(r.err), 1) << c << ": " << r.err;
    EXPECT_EQ(r.err.rfind("kp-sim: ", 0), 0u) << r.err;
  }
  EXPECT_NE(kp_sim("run " + (dir / "range.json").string()).err.find("range.json: steps[0].engine.rpm"),
            std::string::npos);
}

TEST(Cli, TwoRunsOfOneScenarioWriteIdenticalBytes) {
  const fs::path dir = scratch("same");
  std::ofstream(dir / "short.json") << R"({"steps": [
      {"ignition": true}, {"at": 1, "engine": {"rpm": 900, "petrol_ms": 3}},
      {"speed": {"kmh": 60, "over": 5}}, {"at": 8, "turn": 2}, {"at": 10, "snapshot": "mid"},
      {"at": 12, "ignition": false}, {"wait": 3}]})";
  ASSERT_EQ(kp_sim("run " + (dir / "short.json").string() + " --out " + (dir / "a").string()).status, 0);
  ASSERT_EQ(kp_sim("run " + (dir / "short.json").string() + " --out " + (dir / "b").string()).status, 0);
  for (const char* f : {"trace.jsonl", "final.json", "state-mid.json"}) {
    const std::string a = slurp(dir / "a" / f);
    EXPECT_FALSE(a.empty()) << f;
    EXPECT_EQ(a, slurp(dir / "b" / f)) << f;
  }
  // A line for every simulated second, the last moment included.
  EXPECT_EQ(count_lines(slurp(dir / "a" / "trace.jsonl")), 16);
}

TEST(Cli, ListNamesTheBuiltInDrives) {
  const std::string cmd = std::string(KP_SIM_PATH) + " list";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char b[512];
  while (std::fgets(b, sizeof b, p) != nullptr) out += b;
  EXPECT_EQ(pclose(p), 0);
  EXPECT_NE(out.find("default "), std::string::npos);
}

}  // namespace

namespace {

TEST(CliEeprom, TheUnitsMemoryIsKeptInTheImageFileFromOneRunToTheNext) {
  const fs::path dir = scratch("image");
  const fs::path image = dir / "unit.bin";
  std::ofstream(dir / "drive.json") << R"({
    "eeprom": {"record": {"offtime": 0.0}},
    "steps": [{"ignition": true}, {"at": 1, "engine": {"rpm": 1500, "petrol_ms": 4}},
              {"speed": {"kmh": 72, "over": 2}}, {"at": 60, "speed": 0}, {"at": 62, "engine": {"rpm": 0}},
              {"at": 63, "ignition": false}, {"wait": 10}]})";
  std::ofstream(dir / "look.json") << R"({"steps": [{"ignition": true}, {"at": 5, "snapshot": "start"}, {"wait": 1}]})";
  ASSERT_EQ(kp_sim("run " + (dir / "drive.json").string() + " --eeprom " + image.string() + " --out " +
                   (dir / "one").string()).status, 0);
  ASSERT_EQ(fs::file_size(image), 1024u);
  const std::string first = slurp(image);
  EXPECT_EQ(first, slurp(dir / "one" / "eeprom.bin"));
  // The second run starts from that memory: its channels hold the first drive.
  ASSERT_EQ(kp_sim("run " + (dir / "look.json").string() + " --eeprom " + image.string() + " --out " +
                   (dir / "two").string()).status, 0);
  const std::string state = slurp(dir / "two" / "state-start.json");
  const auto km = nlohmann::json::parse(state)["ch"][0]["distpb"].get<double>();
  EXPECT_GT(km, 1.0);
  EXPECT_LT(km, 1.3);
  EXPECT_EQ(nlohmann::json::parse(state)["eeprom_errors"].get<int>(), 0);
}

TEST(CliEeprom, AnImageOfTheWrongSizeIsRefusedAndLeftAsItWas) {
  const fs::path dir = scratch("badimage");
  std::ofstream(dir / "short.bin") << std::string(1000, 'x');
  const Result r = kp_sim("run default --eeprom " + (dir / "short.bin").string() + " --out " + (dir / "out").string());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(count_lines(r.err), 1) << r.err;
  EXPECT_NE(r.err.find("exactly 1024 bytes, this file has 1000"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(dir / "short.bin"), std::string(1000, 'x'));
  EXPECT_FALSE(fs::exists(dir / "out" / "trace.jsonl"));
}

TEST(CliEeprom, ShowTellsEachValueAndWhatTheCheckWouldRepair) {
  const fs::path dir = scratch("show");
  std::string bytes(1024, '\xff');
  std::ofstream(dir / "erased.bin", std::ios::binary) << bytes;
  const std::string cmd = std::string(KP_SIM_PATH) + " eeprom show " + (dir / "erased.bin").string();
  FILE* p = popen((cmd + " --json").c_str(), "r");
  std::string out;
  char b[4096];
  while (std::fgets(b, sizeof b, p) != nullptr) out += b;
  ASSERT_EQ(pclose(p), 0);
  const auto d = nlohmann::json::parse(out);
  EXPECT_EQ(d["repairs"].get<int>(), 24);
  for (const auto& f : d["fields"]) {
    if (f["name"] == "SPD_CAL") {
      EXPECT_EQ(f["address"].get<int>(), 136);
      EXPECT_EQ(f["bytes"].get<std::string>(), "ff ff ff ff");
      EXPECT_EQ(f["check"], "repaired");
      EXPECT_EQ(f["repaired_to"].get<double>(), 1.0);
    }
    if (f["name"] == "active_ch") {
      EXPECT_EQ(f["check"], "not tested");
      EXPECT_EQ(f["loaded_as"].get<int>(), 1);
    }
  }
  p = popen(cmd.c_str(), "r");
  out.clear();
  while (std::fgets(b, sizeof b, p) != nullptr) out += b;
  ASSERT_EQ(pclose(p), 0);
  EXPECT_NE(out.find("repaired to 45"), std::string::npos);  // pbcap
  EXPECT_NE(out.find("\"znaleziono 24 blad w pamieci\""), std::string::npos);
}

}  // namespace
