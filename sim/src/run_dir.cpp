#include "sim/run_dir.h"

#include <filesystem>
#include <vector>

#include "sim/files.h"
#include "sim/message_text.h"
#include "sim/scenario.h"

namespace sim {

namespace fs = std::filesystem;

namespace {
bool framed(const std::string& s, const std::string& prefix, const std::string& suffix) {
  return s.size() > prefix.size() + suffix.size() && s.compare(0, prefix.size(), prefix) == 0 &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}
}  // namespace

bool is_run_output(const std::string& n) {
  return n == "trace.jsonl" || n == "final.json" || n == "eeprom.bin" || n == "report.html" ||
         framed(n, "state-", ".json") || framed(n, "tft-", ".png") || framed(n, "oled-", ".png");
}

void check_output_dir(const std::string& dir) {
  std::error_code ec;
  const fs::file_status st = fs::status(dir, ec);
  if (dir.empty()) throw ScenarioError("--out: the directory name is empty");
  if (fs::exists(st) && !fs::is_directory(st))
    throw ScenarioError("--out " + printable(dir, 160) + ": not a directory");
}

std::size_t clear_earlier_run(const std::string& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return 0;
  std::vector<fs::path> old;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::file_status st = it->symlink_status(ec);
    if (ec) break;
    // Files and links only: a folder of that name is no run's output.
    if ((fs::is_regular_file(st) || fs::is_symlink(st)) && is_run_output(it->path().filename().string()))
      old.push_back(it->path());
  }
  if (ec) throw OutputError(printable(dir, 160) + ": " + ec.message());
  for (const fs::path& p : old) {
    if (!fs::remove(p, ec) && ec)
      throw OutputError("cannot remove the earlier run's " + printable(p.string(), 160) + ": " + ec.message());
  }
  return old.size();
}

}  // namespace sim
