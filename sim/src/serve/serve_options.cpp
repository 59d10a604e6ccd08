#include <cstdio>
#include <cstdlib>

#include "sim/eeprom_world.h"
#include "sim/message_text.h"
#include "sim/runner.h"
#include "sim/scenario.h"
#include "sim/serve.h"

namespace sim {

const char* const kServeUsage =
    "usage: kp-sim serve [SCENARIO] [--port N] [--bind ADDRESS] [--eeprom FILE] [--out DIR] [--quiet]\n"
    "\n"
    "Runs the unit live and serves its dashboard at http://127.0.0.1:N/ (default port\n"
    "8080; 0 picks a free one): both displays, the car's and the unit's controls, the\n"
    "faults, the run rate and plots. SCENARIO (a built-in name or a JSON file) plays\n"
    "first; the session then goes on by hand. --bind listens on another address than\n"
    "the loopback one (the page has no password: only on a network you trust).\n"
    "--eeprom FILE: the unit's memory comes from FILE and goes back to it at the end.\n"
    "--out DIR (default ./kp-serve): the session's files at the end, as kp-sim run\n"
    "writes them, and each saved session (session.json replays with kp-sim run).\n";

namespace {
int read_port(const std::string& text) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 0 || v > 65535)
    throw ServeUsageError("--port: \"" + printable(text) + "\" is not a port number (0 to 65535)");
  return static_cast<int>(v);
}
}  // namespace

ServeOptions parse_serve_options(const std::vector<std::string>& args) {
  ServeOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* what) -> const std::string& {
      if (i + 1 >= args.size()) throw ServeUsageError(a + " needs " + what);
      return args[++i];
    };
    if (a == "--port") {
      o.port = read_port(value("a port number"));
    } else if (a == "--bind") {
      o.bind = value("an address");
      if (o.bind.empty()) throw ServeUsageError("--bind: an empty address");
    } else if (a == "--eeprom") {
      o.eeprom = value("a file");
    } else if (a == "--out") {
      o.out_dir = value("a directory");
      if (o.out_dir.empty()) throw ServeUsageError("--out: an empty directory name");
    } else if (a == "--quiet") {
      o.quiet = true;
    } else if (a.rfind("-", 0) == 0) {
      throw ServeUsageError("unknown option " + printable(a));
    } else if (!o.scenario) {
      o.scenario = a;
    } else {
      throw ServeUsageError("more than one scenario given (" + printable(*o.scenario) + ", " + printable(a) + ")");
    }
  }
  return o;
}

int serve_main(const std::vector<std::string>& args) {
  try {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
      std::fputs(kServeUsage, stdout);
      return 0;
    }
    return serve_command(parse_serve_options(args));
  } catch (const ServeUsageError& e) {
    std::fprintf(stderr, "kp-sim serve: %s (see kp-sim serve --help)\n", one_line(e.what()).c_str());
    return 2;
  } catch (const ScenarioError& e) {
    std::fprintf(stderr, "kp-sim serve: %s\n", one_line(e.what()).c_str());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kp-sim serve: %s\n", one_line(e.what()).c_str());
    return 1;
  }
}

}  // namespace sim
