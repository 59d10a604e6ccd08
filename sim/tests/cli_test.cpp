// The kp-sim program as a user meets it: exit codes, one-line messages, and
// runs that give the same bytes every time.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string err;
};

// A shell command's exit status and what it wrote to stderr.
Result shell(const std::string& command) {
  const std::string cmd = command + " 2>&1 >/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char b[256];
  while (p != nullptr && std::fgets(b, sizeof b, p) != nullptr) out += b;
  const int rc = p != nullptr ? pclose(p) : -1;
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, out};
}

Result kp_sim(const std::string& args) { return shell(std::string(KP_SIM_PATH) + " " + args); }

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

TEST(Cli, UserTextInAMessageIsEscapedAndCut) {
  const std::string long_text(3000, 'x');
  for (const std::string& args : {std::string("run \"$(printf 'a\\033[2J\\nb')\""), "run --" + long_text + "$(printf '\\007')",
                                  "fly" + long_text, "run " + long_text + ".json"}) {
    const Result r = kp_sim(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(count_lines(r.err), 1) << r.err;
    EXPECT_LT(r.err.size(), 600u) << r.err;
    for (std::size_t i = 0; i + 1 < r.err.size(); ++i)
      EXPECT_FALSE(static_cast<unsigned char>(r.err[i]) < 0x20 || r.err[i] == 0x7f) << r.err;
  }
  EXPECT_NE(kp_sim("run \"$(printf 'a\\033[2J')\"").err.find("a\\x1B[2J: no built-in scenario"), std::string::npos);
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

// Files a run reads and writes: what a hostile or broken file system holds
// is refused in one line before the run, and no output goes anywhere but
// to its own name.
namespace {

const char* kShortDrive = R"({"steps": [{"ignition": true}, {"at": 2, "snapshot": "mid"}, {"wait": 2}]})";

TEST(CliFiles, LinksPlantedAtOutputNamesAreNeverFollowed) {
  const fs::path dir = scratch("links");
  const fs::path out = dir / "out";
  fs::create_directories(out);
  std::ofstream(dir / "victim") << "keep";
  std::ofstream(dir / "drive.json") << kShortDrive;
  // The temporary names a writer might pick, and the outputs' own names.
  for (const char* name : {"eeprom.bin.tmp", "trace.jsonl.tmp", "final.json.tmp", "trace.jsonl", "final.json",
                           "state-mid.json", "tft-final.png", "eeprom.bin"})
    fs::create_symlink(dir / "victim", out / name);
  fs::create_symlink(dir / "victim", dir / "unit.bin.tmp");
  const Result r = kp_sim("run " + (dir / "drive.json").string() + " --out " + out.string() + " --eeprom " +
                          (dir / "unit.bin").string());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(dir / "victim"), "keep");
  for (const char* name : {"trace.jsonl", "final.json", "state-mid.json", "tft-final.png", "eeprom.bin"}) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out / name))) << name;
  }
  EXPECT_EQ(fs::file_size(dir / "unit.bin"), 1024u);
  // Nothing left behind but the outputs and the planted links.
  int files = 0;
  for (const auto& e : fs::directory_iterator(out)) files += e.path().filename().string()[0] == '.';
  EXPECT_EQ(files, 0);
}

TEST(CliFiles, PipesDevicesFoldersAndHugeFilesAreRefusedAsInputs) {
  const fs::path dir = scratch("inputs");
  const std::string fifo = (dir / "pipe").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::ofstream(dir / "via-pipe.json") << R"({"eeprom": {"image_file": "pipe"}, "steps": [{"wait": 1}]})";
  std::ofstream(dir / "via-zero.json") << R"({"eeprom": {"image_file": "/dev/zero"}, "steps": [{"wait": 1}]})";
  std::ofstream(dir / "empty-image.json") << R"({"eeprom": {"image_file": ""}, "steps": [{"wait": 1}]})";
  fs::create_directories(dir / "folder.json");
  {
    std::ofstream big(dir / "big.json");
    big << "{\"steps\": [" << std::string(17u << 20, ' ') << "{\"wait\": 1}]}";
  }
  const std::string out = " --out " + (dir / "out").string();
  struct Case {
    std::string args, says;
  };
  const Case cases[] = {
      {"run " + fifo + out, "is a named pipe"},
      {"run /dev/zero" + out, "is a character device"},
      {"run " + (dir / "folder.json").string() + out, "is a folder"},
      {"run " + (dir / "big.json").string() + out, "too large"},
      {"run default --eeprom " + fifo + out, "is a named pipe"},
      {"run default --eeprom /dev/zero" + out, "is a character device"},
      {"run " + (dir / "via-pipe.json").string() + out, "eeprom.image_file: "},
      {"run " + (dir / "via-zero.json").string() + out, "is a character device"},
      {"run " + (dir / "empty-image.json").string() + out, "eeprom.image_file: the file name is empty"},
      {"run ''" + out, "an empty scenario name"},
      {"eeprom show " + fifo, "is a named pipe"},
      {"eeprom show /dev/zero", "is a character device"},
      {"eeprom show " + (dir / "nothing.bin").string(), "No such file"},
  };
  for (const Case& c : cases) {
    const Result r = shell("timeout 60 " + std::string(KP_SIM_PATH) + " " + c.args);
    EXPECT_EQ(r.status, 2) << c.args << ": " << r.err;
    EXPECT_EQ(count_lines(r.err), 1) << c.args << ": " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ": " << r.err;
  }
  EXPECT_FALSE(fs::exists(dir / "out" / "trace.jsonl"));
}

TEST(CliFiles, AWriteBackThatCannotSucceedIsRefusedBeforeTheRun) {
  const fs::path dir = scratch("writeback");
  std::ofstream(dir / "drive.json") << kShortDrive;
  std::ofstream(dir / "no-chip.json") << R"({"eeprom": {"present": false}, "steps": [{"wait": 1}]})";
  std::ofstream(dir / "plain") << "x";
  const std::string image(1024, '\x5a');
  std::ofstream(dir / "locked.bin", std::ios::binary) << image;
  fs::permissions(dir / "locked.bin", fs::perms::owner_read | fs::perms::group_read);
  std::ofstream(dir / "unit.bin", std::ios::binary) << image;
  const std::string out = " --out " + (dir / "out").string();
  struct Case {
    std::string args, says;
  };
  const Case cases[] = {
      {"run " + (dir / "drive.json").string() + " --eeprom " + (dir / "nodir" / "x.bin").string() + out,
       "No such file or directory"},
      {"run " + (dir / "drive.json").string() + " --eeprom " + (dir / "plain" / "x.bin").string() + out,
       "Not a directory"},
      {"run " + (dir / "drive.json").string() + " --eeprom " + (dir / "locked.bin").string() + out, "read-only"},
      {"run " + (dir / "no-chip.json").string() + " --eeprom " + (dir / "unit.bin").string() + out, "not used"},
  };
  for (const Case& c : cases) {
    const Result r = kp_sim(c.args);
    EXPECT_EQ(r.status, 2) << c.args << ": " << r.err;
    EXPECT_EQ(count_lines(r.err), 1) << c.args << ": " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ": " << r.err;
  }
  EXPECT_FALSE(fs::exists(dir / "out" / "trace.jsonl"));  // refused before anything ran
  EXPECT_EQ(slurp(dir / "locked.bin"), image);
  EXPECT_EQ(slurp(dir / "unit.bin"), image);
}

TEST(CliFiles, TheWriteBackGoesThroughALinkToItsTarget) {
  const fs::path dir = scratch("writelink");
  fs::create_directories(dir / "store");
  std::ofstream(dir / "drive.json") << kShortDrive;
  fs::create_symlink("store/unit.bin", dir / "unit.bin");  // relative, and its target not there yet
  ASSERT_EQ(kp_sim("run " + (dir / "drive.json").string() + " --eeprom " + (dir / "unit.bin").string() +
                   " --out " + (dir / "out").string()).status, 0);
  EXPECT_TRUE(fs::is_symlink(dir / "unit.bin"));
  ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "store" / "unit.bin")));
  EXPECT_EQ(slurp(dir / "store" / "unit.bin"), slurp(dir / "out" / "eeprom.bin"));
}

TEST(CliFiles, AFailedWriteDuringTheRunIsReportedWithTheFileAndTheReason) {
  const fs::path dir = scratch("full");
  std::ofstream(dir / "drive.json") << R"({"trace_interval": 0.01, "steps": [{"ignition": true}, {"wait": 30}]})";
  // A file size limit stands in for a full disk: writes past it fail (EFBIG).
  const Result r = shell("sh -c 'trap \"\" XFSZ; ulimit -f 64; exec \"$0\" \"$@\"' " + std::string(KP_SIM_PATH) +
                         " run " + (dir / "drive.json").string() + " --out " + (dir / "out").string());
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(count_lines(r.err), 1) << r.err;
  EXPECT_NE(r.err.find("trace.jsonl: File too large"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "out" / "trace.jsonl"));  // no partial trace taken for a whole one
}

}  // namespace
