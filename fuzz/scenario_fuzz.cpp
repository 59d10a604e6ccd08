// Scenario text from anywhere: either a scenario a run can take, or a
// refusal in one short printable line. Anything else (another exception, a
// crash, a sanitizer report, a hang) is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sim/scenario.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void check_message(const std::string& m) {
  check(!m.empty() && m.size() < 600);
  for (char c : m) check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    // An image_file is looked for next to the scenario: in a folder that is not there.
    const sim::Scenario sc = sim::parse_scenario(text, "/nonexistent-kp-fuzz/input.json");
    // The timeline in order and inside a month, so inside the virtual clock.
    double last = 0;
    for (const sim::Step& s : sc.steps) {
      check(s.at >= last && s.action != nullptr);
      last = s.at;
    }
    check(sc.end >= last && sc.end > 0 && sc.end <= 30.0 * 24 * 3600);
    check(sc.trace_interval >= 0.01 && sc.trace_interval <= 3600);
  } catch (const sim::ScenarioError& e) {
    check_message(e.what());
  }
  return 0;
}
