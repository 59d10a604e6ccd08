// The kp-sim program as a user meets it: exit codes, one-line messages, and
// runs that give the same bytes every time.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

fs::path scratch(const std::string& name) {
  const fs::path d = fs::temp_directory_path() / ("kp-cli-" + std::to_string(getpid())) / name;
  fs::create_directories(d);
  return d;
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
