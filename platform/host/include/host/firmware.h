// The firmware the machine runs, seen as a debugger sees a program image:
// symbols by name, and RAM that a reset brings back to its start values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

class FirmwareImage {
 public:
  virtual ~FirmwareImage() = default;
  // Address of a global function or variable, nullptr when the image has none.
  virtual void* symbol(const char* name) const = 0;
  // Puts every global of the image back to the value it has at reset.
  virtual void restore_reset_state() = 0;
  virtual std::string name() const = 0;
};

// The trip computer's firmware, built as a shared object and linked into this
// program. Its writable data is captured before any of its code runs and
// written back at every reset, so each boot starts from the reset state.
class LinkedFirmware final : public FirmwareImage {
 public:
  // The one image of the process; terminates with a message when the
  // firmware library is not loaded.
  static LinkedFirmware& instance();

  void* symbol(const char* name) const override;
  void restore_reset_state() override;
  std::string name() const override { return path_; }

  // Bytes of writable data that a reset restores (for reports).
  std::size_t ram_bytes() const;

 private:
  LinkedFirmware();
  struct Range {
    unsigned char* begin;
    std::size_t size;
    std::vector<unsigned char> image;
  };
  void* handle_ = nullptr;
  std::string path_;
  std::vector<Range> ranges_;
};

}  // namespace host
