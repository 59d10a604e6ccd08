// A fresh, empty directory for a test's files under the system's temporary
// directory, one per test process and name.
#pragma once

#include <filesystem>
#include <string>

#include <unistd.h>

inline std::filesystem::path scratch(const std::string& name) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("kp-sim-test-" + std::to_string(getpid())) / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}
