#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/firmware.h"

namespace host {

namespace {

constexpr const char* kLibraryName = "libkp_firmware.so";

struct Found {
  std::string path;
  std::uintptr_t base = 0;
  std::vector<std::pair<std::uintptr_t, std::size_t>> writable;
  std::uintptr_t relro_begin = 0, relro_end = 0;
};

int visit(dl_phdr_info* info, std::size_t, void* data) {
  auto* found = static_cast<Found*>(data);
  if (info->dlpi_name == nullptr || std::strstr(info->dlpi_name, kLibraryName) == nullptr) return 0;
  found->path = info->dlpi_name;
  found->base = info->dlpi_addr;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const auto& ph = info->dlpi_phdr[i];
    if (ph.p_type == PT_LOAD && (ph.p_flags & PF_W)) {
      found->writable.emplace_back(info->dlpi_addr + ph.p_vaddr, ph.p_memsz);
    } else if (ph.p_type == PT_GNU_RELRO) {
      found->relro_begin = info->dlpi_addr + ph.p_vaddr;
      found->relro_end = found->relro_begin + ph.p_memsz;
    }
  }
  return 1;
}

// Copies without the sanitizer's checks: the image's data holds the padding
// the address sanitizer puts around globals, and all of it is restored.
__attribute__((no_sanitize("address"))) void raw_copy(volatile unsigned char* dst, const volatile unsigned char* src,
                                                      std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
}

}  // namespace

LinkedFirmware& LinkedFirmware::instance() {
  static LinkedFirmware image;
  return image;
}

LinkedFirmware::LinkedFirmware() {
  Found found;
  dl_iterate_phdr(&visit, &found);
  if (found.path.empty()) {
    std::fprintf(stderr, "host: %s is not loaded in this program\n", kLibraryName);
    std::abort();
  }
  path_ = found.path;
  handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle_ == nullptr) {
    std::fprintf(stderr, "host: cannot open %s: %s\n", path_.c_str(), dlerror());
    std::abort();
  }
  // The writable segment less its read-only-after-relocation head: that is
  // the image's RAM (initialised data and zeroed data).
  for (auto [begin, size] : found.writable) {
    std::uintptr_t b = begin;
    const std::uintptr_t e = begin + size;
    if (found.relro_end > b && found.relro_begin < e) b = std::max(b, found.relro_end);
    if (b >= e) continue;
    Range r{reinterpret_cast<unsigned char*>(b), e - b, {}};
    r.image.resize(r.size);
    raw_copy(r.image.data(), r.begin, r.size);
    ranges_.push_back(std::move(r));
  }
}

void* LinkedFirmware::symbol(const char* name) const { return dlsym(handle_, name); }

void LinkedFirmware::restore_reset_state() {
  for (Range& r : ranges_) raw_copy(r.begin, r.image.data(), r.size);
}

std::size_t LinkedFirmware::ram_bytes() const {
  std::size_t n = 0;
  for (const Range& r : ranges_) n += r.size;
  return n;
}

}  // namespace host
