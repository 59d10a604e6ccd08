// The dashboard's web server: the page's own files and the session's API,
// nothing else (no file of the disk is ever served).
#include <httplib.h>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "sim/eeprom_world.h"
#include "sim/live.h"
#include "sim/message_text.h"
#include "sim/serve.h"

namespace sim {

namespace {

constexpr std::size_t kMaxBody = 64 * 1024;

void answer(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(body.dump(), "application/json");
}

// Runs a request's work; a refused input is 400 with its message, a failure 500.
void guarded(httplib::Response& res, const std::function<json()>& work) {
  try {
    answer(res, 200, work());
  } catch (const ScenarioError& e) {
    answer(res, 400, json{{"error", one_line(e.what())}});
  } catch (const std::exception& e) {
    answer(res, 500, json{{"error", one_line(e.what())}});
  }
}

json body_json(const httplib::Request& req) {
  try {
    return parse_json_strictly(req.body, 16);
  } catch (const JsonTextError& e) {
    throw ScenarioError(std::string("invalid JSON: ") + e.what());
  }
}

std::uint64_t query_number(const httplib::Request& req, const char* key) {
  if (!req.has_param(key)) return 0;
  const std::string v = req.get_param_value(key);
  char* end = nullptr;
  const unsigned long long n = std::strtoull(v.c_str(), &end, 10);
  return (v.empty() || *end != '\0') ? 0 : n;
}

bool loopback(const std::string& address) { return address == "127.0.0.1" || address == "::1" || address == "localhost"; }

}  // namespace

int serve_command(const ServeOptions& o) {
  RunOptions run;
  run.out_dir = o.out_dir;
  if (o.eeprom) run.eeprom_file = RunOptions::EepromFile{*o.eeprom, read_eeprom_image(*o.eeprom)};

  // SIGINT and SIGTERM end the session in order: blocked on every thread,
  // taken by one that waits for them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  LiveSession live(session_start(o.scenario), run, o.out_dir);
  httplib::Server server;
  server.set_payload_max_length(kMaxBody);
  server.set_keep_alive_timeout(5);
  // Long polls hold a thread each: room for a few pages and their pictures.
  server.new_task_queue = [] { return new httplib::ThreadPool(16); };

  // On the loopback interface, a page of another site could still reach
  // the server through a name that resolves to it: only requests naming the
  // server by its loopback address are taken.
  const bool check_host = loopback(o.bind);
  int port = o.port;
  server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
    using H = httplib::Server::HandlerResponse;
    const std::string host = req.get_header_value("Host");
    const std::string p = ":" + std::to_string(port);
    if (check_host && host != "127.0.0.1" + p && host != "localhost" + p && host != "[::1]" + p) {
      answer(res, 403, json{{"error", "requests name this server by its loopback address"}});
      return H::Handled;
    }
    // What changes the session comes as JSON from the page itself: a page of
    // another site can send JSON only after asking, and it is not answered.
    if (req.method == "POST") {
      const std::string origin = req.get_header_value("Origin");
      if (req.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
        answer(res, 415, json{{"error", "commands are sent as application/json"}});
        return H::Handled;
      }
      if (!origin.empty() && origin != "http://" + host) {
        answer(res, 403, json{{"error", "commands come from this server's own page"}});
        return H::Handled;
      }
    }
    return H::Unhandled;
  });

  for (const WebAsset& a : web_assets()) {
    server.Get(a.path, [&a](const httplib::Request&, httplib::Response& res) {
      res.set_content(reinterpret_cast<const char*>(a.data), a.size, a.type);
    });
  }
  server.Get("/api/state", [&](const httplib::Request& req, httplib::Response& res) {
    const std::string text =
        live.stream().state(query_number(req, "v"), query_number(req, "rows"), std::chrono::milliseconds(1000));
    res.set_header("Cache-Control", "no-store");
    res.set_content(text, "application/json");
  });
  for (const bool tft : {true, false}) {
    server.Get(tft ? "/api/tft.png" : "/api/oled.png", [&live, tft](const httplib::Request&, httplib::Response& res) {
      const std::string png = live.stream().png(tft);
      if (png.empty()) return answer(res, 404, json{{"error", "no picture"}});
      res.set_header("Cache-Control", "no-store");
      res.set_content(png, "image/png");
    });
  }
  server.Post("/api/command", [&](const httplib::Request& req, httplib::Response& res) {
    guarded(res, [&] { return live.command(body_json(req)); });
  });
  server.Post("/api/rate", [&](const httplib::Request& req, httplib::Response& res) {
    guarded(res, [&] { return live.rate(body_json(req)); });
  });
  server.Post("/api/save", [&](const httplib::Request&, httplib::Response& res) {
    guarded(res, [&] { return live.save(); });
  });
  server.Post("/api/restart", [&](const httplib::Request& req, httplib::Response& res) {
    guarded(res, [&] { return live.restart(body_json(req)); });
  });
  server.Post("/api/eeprom-stops", [&](const httplib::Request&, httplib::Response& res) {
    guarded(res, [&] {
      return live.call([](Session& s, Pacer&) {
        s.eeprom_stops_answering();
        return json{{"ok", true}, {"at", host::to_seconds(s.runner().now())}};
      });
    });
  });
  server.Post("/api/stop", [&](const httplib::Request&, httplib::Response& res) {
    guarded(res, [&] {
      json r = live.stop();
      ::kill(::getpid(), SIGTERM);  // the server ends once this answer is out
      return r;
    });
  });

  if (o.port == 0) {
    port = server.bind_to_any_port(o.bind);
    if (port < 0) throw RunError("cannot listen on " + o.bind);
  } else if (!server.bind_to_port(o.bind, o.port)) {
    throw RunError("cannot listen on " + o.bind + " port " + std::to_string(o.port) + " (in use?)");
  }
  std::printf("kp-sim serve: http://%s:%d/ (%s); Ctrl-C ends the session\n",
              o.bind.find(':') != std::string::npos ? ("[" + o.bind + "]").c_str() : o.bind.c_str(), port,
              o.scenario ? ("from " + printable(*o.scenario)).c_str() : "no scenario");
  std::fflush(stdout);

  std::thread waiter([&] {
    int sig = 0;
    sigwait(&signals, &sig);
    server.stop();
  });
  const bool ok = server.listen_after_bind();
  ::kill(::getpid(), SIGTERM);  // wakes the waiter when the server ended by itself
  waiter.join();
  const json end = live.stop();
  if (!o.quiet)
    std::printf("kp-sim serve: the session ended at %.3f s of virtual time; its files are in %s\n",
                end.value("t", 0.0), o.out_dir.c_str());
  return ok ? 0 : 1;
}

}  // namespace sim
