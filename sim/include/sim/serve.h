// `kp-sim serve`: the live dashboard. A web server on the loopback
// interface (unless told otherwise) serves the page, its scripts and the
// session's state; the session runs on a thread of its own.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim {

struct ServeOptions {
  std::optional<std::string> scenario;  // the session starts from it; none: a parked car
  std::string bind = "127.0.0.1";
  int port = 8080;                      // 0: any free port
  std::optional<std::string> eeprom;    // the unit's memory kept in this image file
  std::string out_dir = "kp-serve";     // the session's files and saved sessions
  bool quiet = false;
};

// Serves until interrupted (SIGINT, SIGTERM) or stopped from the page.
int serve_command(const ServeOptions& options);

// The page's files, built into the program.
struct WebAsset {
  const char* path;  // as requested: "/", "/app.js", ...
  const char* type;  // its content type
  const unsigned char* data;
  unsigned long size;
};
const std::vector<WebAsset>& web_assets();

}  // namespace sim
