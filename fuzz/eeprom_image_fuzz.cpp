// EEPROM image files from anywhere: the reader refuses a file that is not an
// image in one short printable line, and every image, whatever its bytes,
// is described value by value with what the firmware's check would do.
// Anything else (another exception, a crash, a sanitizer report) is a finding.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/eeprom_show.h"
#include "sim/eeprom_world.h"
#include "sim/scenario.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// A file in memory the reader opens by its name like any other.
const std::string& file_name() {
  static const std::string name = [] {
    const int fd = memfd_create("kp-fuzz-image", MFD_CLOEXEC);
    check(fd >= 0);
    return "/proc/self/fd/" + std::to_string(fd);
  }();
  return name;
}

int file_fd() { return std::stoi(file_name().substr(14)); }

void describe(const sim::record::Image& image) {
  const sim::ojson d = sim::describe_eeprom(image, "image.bin");
  check(d["fields"].size() == sim::record::fields().size());
  for (const auto& f : d["fields"]) {
    const std::string c = f["check"].get<std::string>();
    check(c == "passes" || c == "repaired" || c == "not tested");
  }
  const int repairs = d["repairs"].get<int>();
  check(repairs >= 0 && repairs <= 28);
  check(!sim::format_eeprom(d).empty());
  check(!d.dump().empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = file_fd();
  check(ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
  try {
    describe(sim::read_eeprom_image(file_name(), sim::MissingImage::Refuse));
    check(size == sim::record::kImageSize);
  } catch (const sim::ScenarioError& e) {
    const std::string m = e.what();
    check(size != sim::record::kImageSize && !m.empty() && m.size() < 600);
    for (char c : m) check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
    // The bytes as an image all the same, cut or filled up as erased.
    std::vector<std::uint8_t> image(data, data + std::min(size, sim::record::kImageSize));
    image.resize(sim::record::kImageSize, 0xFF);
    describe(image);
  }
  return 0;
}
