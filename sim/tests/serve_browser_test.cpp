// The dashboard in a real browser: headless Chromium, driven through
// chromedriver (WebDriver over HTTP), loads the page from `kp-sim serve`,
// switches the ignition on, checks the TFT canvas against the panel's own
// picture on the main screen, turns the encoder and opens the menu, saves the
// session; the saved scenario run by `kp-sim run` ends on the same picture.
// Also the server's guards, over plain HTTP.
#include <gtest/gtest.h>
#include <httplib.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "scratch_dir.h"
#include "sim/json.h"
#include "sim/png.h"

namespace {

namespace fs = std::filesystem;
using sim::json;
using namespace std::chrono_literals;

// A program the test started, ended by its id at the end.
struct Child {
  pid_t pid = -1;
  int out = -1;  // its standard output, when kept
  ~Child() { stop(); }
  void stop() {
    if (pid > 0) {
      ::kill(pid, SIGTERM);
      int status = 0;
      ::waitpid(pid, &status, 0);
      pid = -1;
    }
    if (out >= 0) ::close(out), out = -1;
  }
  // Waits for it to end by itself; its exit status, or -1 after the timeout.
  int wait(std::chrono::seconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      }
      std::this_thread::sleep_for(50ms);
    }
    return -1;
  }
};

void spawn(Child& c, const std::vector<std::string>& argv, bool keep_output) {
  int pipe_fd[2] = {-1, -1};
  if (keep_output) {
    ASSERT_EQ(::pipe(pipe_fd), 0);
  }
  c.pid = ::fork();
  ASSERT_GE(c.pid, 0);
  if (c.pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(keep_output ? pipe_fd[1] : null, 1);
    ::dup2(null, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  if (keep_output) {
    ::close(pipe_fd[1]);
    c.out = pipe_fd[0];
  }
}

std::string read_line(int fd) {
  std::string line;
  char ch = 0;
  while (::read(fd, &ch, 1) == 1 && ch != '\n') line += ch;
  return line;
}

int free_port() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t n = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
  ::close(s);
  return ntohs(a.sin_port);
}

std::string base64_decode(const std::string& in) {
  static const std::string chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  int bits = 0, value = 0;
  for (char c : in) {
    const auto k = chars.find(c);
    if (k == std::string::npos) continue;
    value = (value << 6) | static_cast<int>(k);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((value >> bits) & 0xFF);
    }
  }
  return out;
}

bool wait_for(const std::function<bool()>& done, std::chrono::seconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(200ms);
  }
  return false;
}

// The serve program on a free loopback port.
struct Server {
  Child child;
  int port = 0;
  fs::path out;
  void start(const fs::path& dir, std::vector<std::string> extra = {}) {
    out = dir;
    std::vector<std::string> argv = {KP_SIM_PATH, "serve", "--port", "0", "--out", dir.string(), "--quiet"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    spawn(child, argv, true);
    const std::string first = read_line(child.out);  // "kp-sim serve: http://127.0.0.1:PORT/ ..."
    const auto colon = first.find("127.0.0.1:");
    ASSERT_NE(colon, std::string::npos) << first;
    port = std::stoi(first.substr(colon + 10));
  }
  httplib::Client client() const {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(30, 0);
    return c;
  }
  json state() const {
    auto r = client().Get("/api/state?v=0&rows=1000000000");
    return r ? json::parse(r->body) : json();
  }
};

TEST(ServeGuards, BadCommandsAreRefusedWithTheirMessageAndOnlyTheOwnFilesAreServed) {
  const fs::path dir = scratch("serve-guards");
  Server s;
  s.start(dir / "out");
  auto c = s.client();
  auto r = c.Post("/api/command", R"({"engine": {"rpm": -5}})", "application/json");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 400);
  EXPECT_EQ(json::parse(r->body)["error"], "command: engine.rpm: value -5 out of range 0..9000");
  r = c.Post("/api/command", R"({"ignition": true, "at": 5})", "application/json");
  EXPECT_EQ(r->status, 400);
  r = c.Post("/api/rate", R"({"mode": "realtime", "factor": 1e9})", "application/json");
  EXPECT_EQ(r->status, 400);
  EXPECT_EQ(s.state()["commands"], 0);  // nothing applied
  r = c.Post("/api/command", R"({"ignition": true})", "application/json");
  EXPECT_EQ(r->status, 200);
  // The state is published just after the command's answer.
  EXPECT_TRUE(wait_for([&] { return s.state()["commands"] == 1; }, 10s));

  for (const char* path : {"/../../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd", "/etc/passwd", "/sim/web/app.js", "/api"})
    EXPECT_EQ(c.Get(path)->status, 404) << path;
  EXPECT_EQ(c.Get("/app.js")->status, 200);
  EXPECT_EQ(c.Get("/chart.min.js")->status, 200);
  // The charts are the report's own script.
  auto charts = c.Get("/kp-charts.js");
  ASSERT_TRUE(charts);
  EXPECT_EQ(charts->status, 200);
  EXPECT_NE(charts->body.find("KpCharts"), std::string::npos);
  EXPECT_EQ(c.Get("/charts.js")->status, 404);
  // Commands only as JSON, and from this server's own page.
  EXPECT_EQ(c.Post("/api/command", R"({"ignition": false})", "text/plain")->status, 415);
  EXPECT_EQ(c.Post("/api/command", {{"Origin", "http://attacker.example"}}, R"({"ignition": false})", "application/json")->status,
            403);
  EXPECT_EQ(s.state()["commands"], 1);
  // Another site's page reaching the loopback server under its own name.
  EXPECT_EQ(c.Get("/", {{"Host", "attacker.example:" + std::to_string(s.port)}})->status, 403);
  ASSERT_EQ(c.Post("/api/stop", "{}", "application/json")->status, 200);
  EXPECT_EQ(s.child.wait(30s), 0);
}

// ---- WebDriver

struct Browser {
  Child driver;
  std::unique_ptr<httplib::Client> http;
  std::string session;

  json call(const std::string& method, const std::string& path, const json& body = json::object()) {
    const std::string url = "/session/" + session + path;
    auto r = method == "GET" ? http->Get(url) : method == "DELETE" ? http->Delete(url)
                                                                   : http->Post(url, body.dump(), "application/json");
    if (!r) return json();
    return json::parse(r->body)["value"];
  }
  std::string element(const std::string& css) {
    const json v = call("POST", "/element", {{"using", "css selector"}, {"value", css}});
    return v.is_object() && !v.empty() ? v.begin().value().get<std::string>() : "";
  }
  void click(const std::string& css) { call("POST", "/element/" + element(css) + "/click"); }
  json script(const std::string& code) { return call("POST", "/execute/sync", {{"script", code}, {"args", json::array()}}); }
  std::string body(const char* key) {
    const json v = script(std::string("return document.body.dataset.") + key + " || '';");
    return v.is_string() ? v.get<std::string>() : "";
  }
};

const char* kCanvasPixels = R"(
  const c = document.getElementById("tft");
  const d = c.getContext("2d").getImageData(0, 0, c.width, c.height).data;
  const rgb = new Uint8Array(d.length / 4 * 3);
  for (let i = 0, j = 0; i < d.length; i += 4) { rgb[j++] = d[i]; rgb[j++] = d[i + 1]; rgb[j++] = d[i + 2]; }
  let s = "";
  for (let i = 0; i < rgb.length; i += 8192) s += String.fromCharCode.apply(null, rgb.subarray(i, i + 8192));
  return [Number(c.dataset.frame || 0), btoa(s)];)";


// The page's canvas once it shows the server's latest picture (the
// session paused), and that picture.
std::pair<std::string, std::string> canvas_and_panel(Browser& b, const Server& s, const fs::path& dir) {
  std::string canvas, panel;
  wait_for([&] {
    const std::uint64_t frame = s.state()["tft_frame"].get<std::uint64_t>();
    const json got = b.script(kCanvasPixels);
    if (!got.is_array() || got[0].get<std::uint64_t>() != frame) return false;
    canvas = base64_decode(got[1].get<std::string>());
    auto png = s.client().Get("/api/tft.png");
    std::ofstream(dir / "panel.png", std::ios::binary) << png->body;
    const sim::Picture p = sim::read_png((dir / "panel.png").string());
    panel.assign(p.rgb.begin(), p.rgb.end());
    return s.state()["tft_frame"].get<std::uint64_t>() == frame;  // still the same picture
  }, 30s);
  return {canvas, panel};
}

TEST(ServeInBrowser, DrivesThePageSavesTheSessionAndTheReplayEndsOnTheSamePicture) {
  const char* chromium = "/usr/bin/chromium";
  const char* chromedriver = "/usr/bin/chromedriver";
  if (!fs::exists(chromium) || !fs::exists(chromedriver))
    GTEST_SKIP() << "Chromium or chromedriver is not installed (scripts/setup.sh installs chromium and "
                    "chromium-driver): the page is not tested in a browser";
  const fs::path dir = scratch("serve-browser");
  Server s;
  s.start(dir / "out");

  Browser b;
  const int driver_port = free_port();
  spawn(b.driver, {chromedriver, "--port=" + std::to_string(driver_port)}, false);
  b.http = std::make_unique<httplib::Client>("127.0.0.1", driver_port);
  b.http->set_read_timeout(60, 0);
  ASSERT_TRUE(wait_for([&] {
    auto r = b.http->Get("/status");
    return r && json::parse(r->body)["value"]["ready"] == true;
  }, 30s));
  const json caps = {{"capabilities",
                      {{"alwaysMatch",
                        {{"goog:chromeOptions",
                          {{"binary", chromium},
                           {"args", {"--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                                     "--window-size=1300,1100"}}}}}}}}};
  auto created = b.http->Post("/session", caps.dump(), "application/json");
  ASSERT_TRUE(created);
  b.session = json::parse(created->body)["value"]["sessionId"].get<std::string>();
  b.call("POST", "/url", {{"url", "http://127.0.0.1:" + std::to_string(s.port) + "/"}});

  // Ignition on; the unit starts and shows its main screen.
  ASSERT_TRUE(wait_for([&] { return !b.element("#ignition").empty(); }, 30s));
  b.click("#ignition");
  ASSERT_TRUE(wait_for([&] { return b.body("drawlumo") == "0" && b.body("menu") == "0"; }, 90s))
      << "the main screen did not come";
  b.click("#rate-pause");
  auto [canvas, panel] = canvas_and_panel(b, s, dir);

  // The charts of the session: six, every line with a point for each row
  // the page took in.
  const json plotted = b.script(R"(
    const box = document.getElementById("plots");
    const lengths = plots.charts.flatMap(ch => ch.data.datasets.map(d => d.data.length));
    return [box.getAttribute("data-kp-charts"), box.querySelectorAll(".kp-chart > canvas").length,
            Math.min(...lengths), Math.max(...lengths)];)");
  ASSERT_TRUE(plotted.is_array()) << plotted.dump();
  EXPECT_EQ(plotted[0], "6");
  EXPECT_EQ(plotted[1], 6);
  EXPECT_GT(plotted[2].get<int>(), 0);
  EXPECT_EQ(plotted[2], plotted[3]);
  // A long session: past maxPoints a line keeps every other point, its
  // first and its last; without thin the oldest points go. reset() empties.
  const json kept = b.script(R"(
    const run = thin => {
      const charts = KpCharts.create(document.createElement("div"), { maxPoints: 10, thin });
      const rows = [];
      for (let t = 0; t < 25; ++t) rows.push({ t, speed: t, world: { speed_kmh: 2 * t } });
      charts.add(rows.slice(0, 12));
      charts.push(rows.slice(12));
      const unit = charts.charts[0].data.datasets[0].data;
      const seen = [unit.length, unit[0].x, unit[1].x, unit[unit.length - 1].x, unit[unit.length - 1].y,
                    charts.charts[0].data.datasets[1].data[unit.length - 1].y];
      charts.reset();
      seen.push(charts.charts[0].data.datasets[0].data.length);
      return seen;
    };
    return [run(true), run(false)];)");
  ASSERT_TRUE(kept.is_array()) << kept.dump();
  EXPECT_EQ(kept[0], json({10, 0, 8, 24, 24, 48, 0}));
  EXPECT_EQ(kept[1], json({10, 15, 16, 24, 24, 48, 0}));
  ASSERT_EQ(canvas.size(), 480u * 320u * 3u);
  EXPECT_TRUE(canvas == panel) << "the canvas does not show the panel's picture of the main screen";

  // The encoder turned with the keyboard on the display, its button pressed
  // with the mouse: the menu opens.
  b.call("POST", "/element/" + b.element("#tft") + "/value", {{"text", "\xEE\x80\x94"}});  // the right arrow key
  b.click("#press");
  b.click("#rate-realtime");
  ASSERT_TRUE(wait_for([&] { return b.body("menu") == "1"; }, 60s)) << "the menu did not open";
  ASSERT_TRUE(wait_for([&] { return s.state()["commands"].get<int>() == 3; }, 10s));  // ignition, turn, press
  b.click("#rate-pause");
  std::this_thread::sleep_for(300ms);
  auto [menu_canvas, menu_panel] = canvas_and_panel(b, s, dir);
  EXPECT_TRUE(menu_canvas == menu_panel) << "the canvas does not show the panel's picture of the menu";
  EXPECT_FALSE(menu_canvas == canvas);

  b.click("#save");
  ASSERT_TRUE(wait_for([&] { return fs::exists(s.out / "session.json"); }, 30s));
  const json shot = b.call("GET", "/screenshot");
  if (shot.is_string()) std::ofstream(fs::path(KP_SHOT_DIR) / "serve-page.png", std::ios::binary) << base64_decode(shot.get<std::string>());
  b.click("#stop");
  EXPECT_EQ(s.child.wait(60s), 0);
  b.call("DELETE", "");

  // The saved session replayed: the same last picture as the page showed.
  Child run;
  spawn(run, {KP_SIM_PATH, "run", (s.out / "session.json").string(), "--out", (dir / "replay").string(), "--quiet"},
        false);
  ASSERT_EQ(run.wait(120s), 0);
  const sim::Picture replayed = sim::read_png((dir / "replay" / "tft-final.png").string());
  EXPECT_TRUE(std::string(replayed.rgb.begin(), replayed.rgb.end()) == menu_canvas);
  // And the session's own files are the replay's, byte for byte.
  for (const char* f : {"trace.jsonl", "final.json", "eeprom.bin", "tft-final.png", "oled-final.png"}) {
    std::ifstream a(s.out / f, std::ios::binary), r(dir / "replay" / f, std::ios::binary);
    const std::string sa((std::istreambuf_iterator<char>(a)), {}), sr((std::istreambuf_iterator<char>(r)), {});
    EXPECT_TRUE(!sa.empty() && sa == sr) << f;
  }
}

}  // namespace
