// The report page: everything inline, so the file alone shows the run.
#include <cmath>
#include <cstdio>

#include "sim/assets.h"
#include "sim/eeprom_show.h"
#include "sim/report.h"

namespace sim {

namespace {

std::string escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string base64(const std::string& bytes) {
  static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += k[v >> 18 & 63];
    out += k[v >> 12 & 63];
    out += k[v >> 6 & 63];
    out += k[v & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | (two ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0);
    out += k[v >> 18 & 63];
    out += k[v >> 12 & 63];
    out += two ? k[v >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

// A script's text inside <script>: it must not close the element early.
std::string script(std::string_view text) {
  std::string s(text);
  for (std::size_t p = 0; (p = s.find("</", p)) != std::string::npos; p += 3) s.replace(p, 2, "<\\/");
  return "<script>\n" + s + "\n</script>\n";
}

std::string builtin(const char* name) {
  const auto a = asset(name);
  if (!a) throw ReportError(std::string("the program was built without its ") + name);
  return std::string(*a);
}

std::string number(double v, int decimals) {
  if (!std::isfinite(v)) return std::isnan(v) ? "NaN" : v > 0 ? "inf" : "-inf";
  char b[64];
  std::snprintf(b, sizeof b, "%.*f", decimals, v);
  return b;
}

// A difference with its sign; one that rounds to nothing is 0, not -0.
std::string signed_number(double v, int decimals) {
  const std::string s = number(v, decimals);
  if (s.find_first_not_of("-0.") == std::string::npos) return number(0.0, decimals);
  return v > 0 ? "+" + s : s;
}

std::string text(const ojson& v) { return v.is_string() ? v.get<std::string>() : v.dump(); }

// At most about `limit` rows for the charts: every k-th, and both rows
// around each change of the board's power or each total that went down, so
// the charts add the totals up over the power-ups as the table does.
nlohmann::json chart_rows(const std::vector<nlohmann::json>& rows, std::size_t limit) {
  auto has = [&](std::size_t i) { return rows[i].contains("distpb"); };
  // A power-up or a power loss between rows i-1 and i.
  auto boundary = [&](std::size_t i) {
    if (i == 0 || i >= rows.size()) return false;
    if (has(i) != has(i - 1)) return true;
    if (!has(i)) return false;
    for (const char* k : SessionTotals::kKeys)
      if (rows[i][k].is_number() && rows[i - 1][k].is_number() && rows[i][k] < rows[i - 1][k]) return true;
    return false;
  };
  nlohmann::json out = nlohmann::json::array();
  const std::size_t step = rows.size() > limit ? (rows.size() + limit - 1) / limit : 1;
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (i % step == 0 || i + 1 == rows.size() || boundary(i) || boundary(i + 1)) out.push_back(rows[i]);
  return out;
}

// JSON inside a <script> element: no '<' can end it.
std::string script_json(const nlohmann::json& v) {
  const std::string s = v.dump();
  std::string out;
  out.reserve(s.size());
  for (char c : s) out += c == '<' ? std::string("\\u003c") : std::string(1, c);
  return out;
}

std::string summary(const RunFiles& run) {
  std::string out = "<p class=\"meta\">";
  const nlohmann::json& f = run.final_record;
  if (f.is_object() && f.contains("t")) out += "Virtual time " + number(f["t"].get<double>(), 1) + " s; ";
  out += std::to_string(run.rows.size()) + " trace lines";
  if (f.is_object() && f.value("ended_unpowered", false)) {
    out += "; the unit ended unpowered";
    if (f.contains("last_powered_t")) out += " (last powered at " + number(f["last_powered_t"].get<double>(), 3) + " s)";
  } else if (f.is_object()) {
    out += "; the unit ended powered";
  }
  if (f.is_object() && f.contains("eeprom_errors"))
    out += "; start-up memory corrections: " + std::to_string(f["eeprom_errors"].get<int>());
  return out + ".</p>\n";
}

std::string totals_table(const RunFiles& run) {
  std::string out =
      "<h2 id=\"totals\">Measured against true</h2>\n"
      "<p>The unit's totals since power-up (<code>distpb</code>, <code>distlpg</code>, <code>pbcons</code>, "
      "<code>lpgcons</code>), added up over the run's power-ups, against what the car really drove and used.</p>\n"
      "<table id=\"totals-table\">\n<tr><th>quantity</th><th>fuel</th><th>measured</th><th>true</th>"
      "<th>difference</th><th>error</th></tr>\n";
  for (const Comparison& c : compare_totals(run.rows, run.final_record)) {
    out += "<tr><td>" + escape(c.quantity) + "</td><td>" + escape(c.fuel) + "</td><td class=\"num\">" +
           number(c.measured, 3) + " " + c.unit + "</td><td class=\"num\">" + number(c.truth, 3) + " " + c.unit +
           "</td><td class=\"num\">" + signed_number(c.measured - c.truth, 3) + " " + c.unit + "</td><td class=\"num\">" +
           escape(error_text(c)) + "</td></tr>\n";
  }
  return out + "</table>\n";
}

std::string pictures(const RunFiles& run) {
  std::string out = "<h2 id=\"pictures\">Displays</h2>\n";
  if (run.pictures.empty()) return out + "<p>The run wrote no pictures.</p>\n";
  out += "<div class=\"shots\">\n";
  for (const RunFiles::Picture& p : run.pictures) {
    const std::string caption = (p.display == "tft" ? "TFT" : "OLED") + std::string(", ") +
                                (p.snapshot == "final" ? "at the end" : "snapshot " + p.snapshot);
    out += "<figure><img alt=\"" + escape(caption) + "\" src=\"data:image/png;base64," + base64(p.png) +
           "\"><figcaption>" + escape(caption) + " (" + escape(p.display + "-" + p.snapshot + ".png") +
           ")</figcaption></figure>\n";
  }
  return out + "</div>\n";
}

std::string eeprom(const RunFiles& run) {
  std::string out = "<h2 id=\"eeprom\">EEPROM record at the end</h2>\n";
  if (!run.eeprom) return out + "<p>No eeprom.bin: the run had no EEPROM on the board.</p>\n";
  const ojson d = describe_eeprom(*run.eeprom, "eeprom.bin");
  const int repairs = d["repairs"].get<int>();
  out += repairs == 0 ? std::string("<p>The integrity check passes every value.</p>\n")
                      : "<p>The integrity check would repair " + std::to_string(repairs) +
                            " value(s) at the next start-up (the unit shows \"znaleziono " + std::to_string(repairs) +
                            " blad w pamieci\").</p>\n";
  out += "<table id=\"eeprom-table\">\n<tr><th>name</th><th>address</th><th>bytes</th><th>value</th>"
         "<th>at start-up</th></tr>\n";
  for (const auto& e : d["fields"]) {
    const int a = e["address"].get<int>();
    const int n = e["length"].get<int>();
    std::string check = e["check"].get<std::string>();
    if (check == "repaired") check = "repaired to " + text(e["repaired_to"]);
    if (e.contains("loaded_as") && e["loaded_as"] != e["value"]) check += ", used as " + text(e["loaded_as"]);
    out += std::string("<tr") + (e["check"] == "repaired" ? " class=\"repaired\"" : "") + "><td><code>" +
           escape(e["name"].get<std::string>()) + "</code></td><td class=\"num\">" +
           (n == 1 ? std::to_string(a) : std::to_string(a) + ".." + std::to_string(a + n - 1)) + "</td><td><code>" +
           escape(e["bytes"].get<std::string>()) + "</code></td><td class=\"num\">" + escape(text(e["value"])) +
           "</td><td>" + escape(check) + "</td></tr>\n";
  }
  out += "</table>\n<h3>Trip channels</h3>\n<table id=\"channels-table\">\n<tr><th>channel</th><th>petrol km</th>"
         "<th>petrol l</th><th>petrol L/100 km</th><th>LPG km</th><th>LPG l</th><th>LPG L/100 km</th></tr>\n";
  for (const auto& c : d["channels"]) {
    auto cell = [](const ojson& v) {
      return "<td class=\"num\">" + (v.is_number() ? number(v.get<double>(), 3) : escape(text(v))) + "</td>";
    };
    out += "<tr><td>" + std::to_string(c["channel"].get<int>()) + "</td>" + cell(c["petrol_km"]) +
           cell(c["petrol_litres"]) + cell(c["petrol_l_per_100km"]) + cell(c["lpg_km"]) + cell(c["lpg_litres"]) +
           cell(c["lpg_l_per_100km"]) + "</tr>\n";
  }
  return out + "</table>\n";
}

}  // namespace

std::string report_html(const RunFiles& run, const std::string& title) {
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + escape(title) +
                     "</title>\n<style>\n" + builtin("report.css") + "</style>\n</head>\n<body>\n<h1>" +
                     escape(title) + "</h1>\n";
  page += summary(run);
  page += totals_table(run);
  page += "<h2 id=\"plots\">Plots of the trace</h2>\n<div id=\"charts\"></div>\n";
  page += pictures(run);
  page += eeprom(run);
  page += "<script type=\"application/json\" id=\"trace-rows\">" + script_json(chart_rows(run.rows, 6000)) +
          "</script>\n";
  page += script(builtin("chart.min.js"));
  page += script(builtin("kp-charts.js"));
  page += script(
      "const rows = JSON.parse(document.getElementById('trace-rows').textContent);\n"
      "KpCharts.create(document.getElementById('charts')).push(rows);");
  return page + "</body>\n</html>\n";
}

}  // namespace sim
