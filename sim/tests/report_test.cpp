// The report of a run: the unit's totals over its power-ups against the
// truth, the percent table, and the page itself from a small run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "program.h"
#include "scratch_dir.h"
#include "sim/report.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

json powered(double t, double distpb, double distlpg, double pbcons, double lpgcons) {
  return json{{"t", t}, {"distpb", distpb}, {"distlpg", distlpg}, {"pbcons", pbcons}, {"lpgcons", lpgcons}};
}
json unpowered(double t) { return json{{"t", t}, {"pins", {{"powered", false}}}}; }
json with_truth(json row, double km_pb, double km_lpg, double l_pb, double l_lpg) {
  row["world"] = {{"distance_petrol_km", km_pb}, {"distance_lpg_km", km_lpg}, {"fuel_petrol_l", l_pb},
                  {"fuel_lpg_l", l_lpg}};
  return row;
}

TEST(ReportTotals, TheUnitsTotalsAddUpOverItsPowerUps) {
  // Three power-ups: one seen as unpowered lines, one only as totals that
  // went down (a supply cut between two lines), and one that grows past
  // the one before it after an unpowered line.
  const std::vector<json> rows = {unpowered(0),          powered(1, 0, 0, 0, 0),     powered(2, 1.0, 0.5, 0.1, 0.05),
                                  unpowered(3),          powered(4, 0.2, 0, 0.02, 0), powered(5, 0.1, 0, 0.01, 0),
                                  powered(6, 0.3, 0.2, 0.03, 0.01), unpowered(7), powered(8, 2.0, 1.0, 0.2, 0.1)};
  const auto c = sim::compare_totals(rows, with_truth(powered(9, 2.5, 1.0, 0.25, 0.1), 3.5, 1.7, 0.35, 0.16));
  ASSERT_EQ(c.size(), 4u);
  // 1.0 + 0.2 (before the cut) + 0.3 + 2.5 (final.json continues the last).
  EXPECT_DOUBLE_EQ(c[0].measured, 1.0 + 0.2 + 0.3 + 2.5);
  EXPECT_DOUBLE_EQ(c[1].measured, 0.5 + 0 + 0.2 + 1.0);
  EXPECT_DOUBLE_EQ(c[2].measured, 0.1 + 0.02 + 0.03 + 0.25);
  EXPECT_DOUBLE_EQ(c[3].measured, 0.05 + 0 + 0.01 + 0.1);
  EXPECT_EQ(c[0].quantity, "distance");
  EXPECT_EQ(c[0].fuel, "petrol");
  EXPECT_EQ(c[3].quantity, "fuel used");
  EXPECT_EQ(c[3].fuel, "LPG");
  EXPECT_DOUBLE_EQ(c[0].truth, 3.5);
  EXPECT_NEAR(*c[0].error_percent, (4.0 - 3.5) / 3.5 * 100, 1e-9);
}

TEST(ReportTotals, AFinalRecordOfAnUnpoweredEndIsTheLastPowerUpsEndNotANewOne) {
  std::vector<json> rows = {powered(1, 0, 0, 0, 0), powered(2, 1.0, 0, 0.1, 0), unpowered(3), unpowered(4)};
  json last = with_truth(powered(2.5, 1.2, 0, 0.12, 0), 1.2, 0, 0.12, 0);
  last["ended_unpowered"] = true;
  last["last_powered_t"] = 2.5;
  auto c = sim::compare_totals(rows, last);
  EXPECT_DOUBLE_EQ(c[0].measured, 1.2);
  EXPECT_DOUBLE_EQ(*c[0].error_percent, 0.0);
  // The same totals in an ordinary (powered) line after unpowered ones are
  // a new power-up's.
  last["ended_unpowered"] = false;
  c = sim::compare_totals(rows, last);
  EXPECT_DOUBLE_EQ(c[0].measured, 2.2);
}

TEST(ReportTotals, ATrueZeroHasNoPercentageAndTheTableSaysWhy) {
  const std::vector<json> rows = {with_truth(powered(1, 0.5, 0, 0, 0.02), 0.4, 0, 0, 0.025)};
  const auto c = sim::compare_totals(rows, json());
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(sim::error_text(c[0]), "+25.00 %");
  EXPECT_FALSE(c[1].error_percent);  // nothing driven on LPG, nothing measured
  EXPECT_EQ(sim::error_text(c[1]), "- (both 0)");
  EXPECT_EQ(sim::error_text(c[3]), "-20.00 %");
  const auto none = sim::compare_totals({with_truth(powered(1, 0.3, 0, 0, 0), 0, 0, 0, 0)}, json());
  EXPECT_FALSE(none[0].error_percent);
  EXPECT_EQ(sim::error_text(none[0]), "- (true value 0)");
  // A run with no powered line at all measures 0 of everything.
  const auto dark = sim::compare_totals({unpowered(0), with_truth(unpowered(1), 0, 0, 0, 0)}, json());
  for (const auto& x : dark) EXPECT_EQ(x.measured, 0);
}

// The bytes of a base64 text.
std::string unbase64(const std::string& s) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
  };
  std::string out;
  unsigned bits = 0;
  int n = 0;
  for (char c : s) {
    const int v = value(c);
    if (v < 0) break;
    bits = bits << 6 | static_cast<unsigned>(v);
    n += 6;
    if (n >= 8) {
      n -= 8;
      out += static_cast<char>(bits >> n & 0xFF);
    }
  }
  return out;
}

// The data: URI of an <img> whose caption names `file`.
std::string inline_picture(const std::string& html, const std::string& file) {
  const std::size_t caption = html.find("(" + file + ")</figcaption>");
  if (caption == std::string::npos) return "";
  const std::string tag = "src=\"data:image/png;base64,";
  const std::size_t at = html.rfind(tag, caption);
  if (at == std::string::npos) return "";
  const std::size_t begin = at + tag.size();
  return unbase64(html.substr(begin, html.find('"', begin) - begin));
}

// The rows a page hands its charts.
json chart_rows_of(const std::string& html) {
  const std::string tag = "<script type=\"application/json\" id=\"trace-rows\">";
  const std::size_t begin = html.find(tag) + tag.size();
  return json::parse(html.substr(begin, html.find("</script>", begin) - begin));
}

const char* kSmallDrive = R"({
  "car": {"lpg_system": "sequential"},
  "eeprom": {"record": {"offtime": 0.0, "SPD_CAL": 1.05}},
  "steps": [{"ignition": true}, {"at": 1, "engine": {"rpm": 1500, "petrol_ms": 4, "lpg_ms": 5}},
            {"speed": {"kmh": 72, "over": 2}}, {"at": 4, "snapshot": "start"}, {"at": 15, "fuel": "lpg"},
            {"at": 20, "snapshot": "mid"},
            {"at": 30, "speed": 0}, {"at": 32, "engine": {"rpm": 0}}, {"at": 33, "ignition": false}, {"wait": 8}]})";

TEST(Report, ASmallRunsPageHoldsItsChartsPicturesRecordAndTableAndNeedsNothingElse) {
  const fs::path dir = scratch("report");
  std::ofstream(dir / "drive.json") << kSmallDrive;
  const fs::path out = dir / "run";
  ASSERT_EQ(kp_sim_err("run " + (dir / "drive.json").string() + " --quiet --out " + out.string()).status, 0);
  const std::string html = read_whole(out / "report.html");
  ASSERT_FALSE(html.empty());

  // Nothing from elsewhere: the library is inside, byte for byte.
  EXPECT_EQ(html.find("src=\"http"), std::string::npos);
  EXPECT_EQ(html.find("href=\"http"), std::string::npos);
  EXPECT_EQ(html.find("<link"), std::string::npos);
  EXPECT_NE(html.find(read_whole("/usr/share/javascript/chart.js/chart.min.js")), std::string::npos);
  EXPECT_NE(html.find("KpCharts.create("), std::string::npos);

  // The pictures as the run wrote them.
  for (const char* f : {"tft-mid.png", "oled-mid.png", "tft-final.png", "oled-final.png"})
    EXPECT_EQ(inline_picture(html, f), read_whole(out / f)) << f;
  // In the order they were taken, the end last.
  EXPECT_LT(html.find("(tft-start.png)"), html.find("(tft-mid.png)"));
  EXPECT_LT(html.find("(tft-mid.png)"), html.find("(tft-final.png)"));

  // The trace's lines for the charts, one for one, in their shape.
  const json rows = chart_rows_of(html);
  ASSERT_EQ(static_cast<int>(rows.size()), lines_in(read_whole(out / "trace.jsonl")));
  EXPECT_TRUE(rows[20].contains("distpb"));
  EXPECT_TRUE(rows[20]["world"].contains("distance_petrol_km"));

  // The record decoded: the scenario's speed calibration, as the unit stored it.
  EXPECT_NE(html.find("<td><code>SPD_CAL</code></td><td class=\"num\">136..139</td>"), std::string::npos);
  EXPECT_NE(html.find("<td class=\"num\">1.05</td><td>passes</td>"), std::string::npos);

  // The table: a speed calibration 5 % high reads 5 % more distance.
  const json fin = json::parse(read_whole(out / "final.json"));
  char measured[64];
  std::snprintf(measured, sizeof measured, "<td class=\"num\">%.3f km</td>", fin["distpb"].get<double>());
  EXPECT_NE(html.find(measured), std::string::npos) << measured;
  const auto c = sim::compare_totals(sim::read_run(out.string()).rows, fin);
  ASSERT_TRUE(c[0].error_percent && c[1].error_percent);
  EXPECT_NEAR(*c[0].error_percent, 5.0, 1.0);
  EXPECT_NEAR(*c[1].error_percent, 5.0, 1.0);
  EXPECT_NE(html.find("<td class=\"num\">" + sim::error_text(c[1]) + "</td>"), std::string::npos);

  // The report command writes the same page under another title.
  const Program r = kp_sim_out("report " + out.string() + " --out " + (dir / "again.html").string());
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, (dir / "again.html").string() + "\n");
  std::string again = read_whole(dir / "again.html");
  EXPECT_EQ(again.size() - again.find("</h1>"), html.size() - html.find("</h1>"));
}

TEST(Report, ALongTraceIsThinnedForTheChartsButKeepsEveryPowerUp) {
  sim::RunFiles run;
  // 20000 lines with a supply cut between two lines at 7001 and an
  // unpowered line at 12345.
  double km = 0;
  for (int i = 0; i < 20000; ++i) {
    if (i == 12345) {
      run.rows.push_back(with_truth(unpowered(i), 0, 0, 0, 0));
      km = 0;
      continue;
    }
    km = i == 7001 ? 0.001 : km + 0.01;
    run.rows.push_back(with_truth(powered(i, km, 0, km / 10, 0), 0, 0, 0, 0));
  }
  run.rows[0]["note"] = "</script><b>";  // text from a file cannot end the element
  const std::string html = sim::report_html(run, "long <run>");
  EXPECT_NE(html.find("<title>long &lt;run&gt;</title>"), std::string::npos);
  const json rows = chart_rows_of(html);
  EXPECT_LE(rows.size(), 6100u);
  EXPECT_GE(rows.size(), 5000u);
  EXPECT_EQ(rows[0]["note"], "</script><b>");
  std::vector<int> kept;
  for (const auto& r : rows) kept.push_back(r["t"].get<int>());
  for (int t : {0, 7000, 7001, 12344, 12345, 12346, 19999})
    EXPECT_NE(std::find(kept.begin(), kept.end(), t), kept.end()) << t;
  // The same totals from the thinned rows as from all of them.
  std::vector<json> thinned(rows.begin(), rows.end());
  EXPECT_DOUBLE_EQ(sim::compare_totals(thinned, json())[0].measured, sim::compare_totals(run.rows, json())[0].measured);
}

TEST(Report, TheChartsAreDrawnInABrowser) {
  const fs::path dir = scratch("report-browser");
  std::ofstream(dir / "drive.json") << kSmallDrive;
  ASSERT_EQ(kp_sim_err("run " + (dir / "drive.json").string() + " --quiet --out " + (dir / "run").string()).status, 0);
  // The page after its scripts ran, in headless Chromium with no network.
  const Program dom = run_shell("timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-dev-shm-usage --no-first-run "
                                "--user-data-dir=" + (dir / "profile").string() + " --dump-dom file://" +
                                (dir / "run" / "report.html").string(), false);
  ASSERT_EQ(dom.status, 0) << "chromium (scripts/setup.sh installs it)";
  EXPECT_NE(dom.out.find("data-kp-charts=\"6\""), std::string::npos);
  for (const char* id : {"chart-speed", "chart-rpm", "chart-consumption", "chart-tanks", "chart-distance", "chart-fuel"})
    EXPECT_NE(dom.out.find(std::string("id=\"") + id + "\"><canvas"), std::string::npos) << id;
}

TEST(Report, ADirectoryThatIsNoRunGetsOneLineAndExitStatus2) {
  const fs::path dir = scratch("report-bad");
  fs::create_directories(dir / "empty");
  std::ofstream(dir / "plain") << "x";
  fs::create_directories(dir / "broken");
  std::ofstream(dir / "broken" / "trace.jsonl") << "{\"t\": 0}\n{\"t\": 1,\n";
  struct Case {
    std::string args, says;
  };
  const Case cases[] = {
      {"report " + (dir / "missing").string(), "no such directory"},
      {"report " + (dir / "plain").string(), "not a directory"},
      {"report " + (dir / "empty").string(), "not a run's directory"},
      {"report " + (dir / "broken").string(), "trace.jsonl: line 2: not JSON"},
      {"report", "RUN_DIR is required"},
      {"report a b", "report takes one run directory"},
  };
  for (const Case& c : cases) {
    const Program r = kp_sim_err(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(lines_in(r.out), 1) << c.args << ": " << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << ": " << r.out;
  }
  EXPECT_FALSE(fs::exists(dir / "broken" / "report.html"));
}

}  // namespace
