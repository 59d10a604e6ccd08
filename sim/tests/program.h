// Running kp-sim (or any shell command) from a test: its exit status, what
// it wrote, and files read whole.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

struct Program {
  int status;
  std::string out;  // stdout, or stderr when asked for
};

// A shell command's exit status and its stdout (or its stderr, stdout dropped).
inline Program run_shell(const std::string& command, bool want_stderr) {
  const std::string cmd = want_stderr ? command + " 2>&1 >/dev/null" : command + " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char b[4096];
  while (p != nullptr && std::fgets(b, sizeof b, p) != nullptr) out += b;
  const int rc = p != nullptr ? pclose(p) : -1;
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, out};
}

inline Program kp_sim_err(const std::string& args) { return run_shell(std::string(KP_SIM_PATH) + " " + args, true); }
inline Program kp_sim_out(const std::string& args) { return run_shell(std::string(KP_SIM_PATH) + " " + args, false); }

inline std::string read_whole(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline int lines_in(const std::string& s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
}
