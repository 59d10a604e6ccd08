// The host build computes the same figures as the chip: the table written
// by the chip's build of the firmware in QEMU (target_figures.txt, checked
// against QEMU's output by the target build's own test) must come out of
// the host build byte for byte.
#include <fstream>
#include <sstream>
#include <string>

#include "figures/figures_table.h"
#include "firmware_call.h"

namespace {

std::string* table;
void emit(const char* line) { *table += std::string(line) + "\n"; }

class SameFigures : public bench::FirmwareCall {};

TEST_F(SameFigures, HostWritesTheChipsTable) {
  std::ifstream in(KP_TARGET_FIGURES);
  ASSERT_TRUE(in) << KP_TARGET_FIGURES;
  std::stringstream chip;
  chip << in.rdbuf();

  std::string host;
  table = &host;
  call([] { figures_table(emit); });
  table = nullptr;

  std::istringstream a(chip.str()), b(host);
  std::string want, got;
  int n = 1;
  while (std::getline(a, want)) {
    ASSERT_TRUE(std::getline(b, got)) << "the host's table ends before line " << n;
    ASSERT_EQ(got, want) << "line " << n;
    n++;
  }
  EXPECT_FALSE(std::getline(b, got)) << "the host's table goes on past line " << n - 1 << ": " << got;
  EXPECT_GT(n, 150);
}

}  // namespace
