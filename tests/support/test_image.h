// A firmware image for tests that run code of their own on the board: the
// test's own entry point, handlers and callbacks by name, in front of the
// real firmware (whose drivers, tick and delay module the tests also use). A
// reset restores the real firmware's data and calls the test's own reset.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "host/firmware.h"

namespace test {

class TestImage final : public host::FirmwareImage {
 public:
  explicit TestImage(std::function<void()> on_reset = {}) : on_reset_(std::move(on_reset)) {}

  template <typename F>
  void provide(const std::string& name, F* fn) {
    symbols_[name] = reinterpret_cast<void*>(fn);
  }

  void* symbol(const char* name) const override {
    auto it = symbols_.find(name);
    if (it != symbols_.end()) return it->second;
    return host::LinkedFirmware::instance().symbol(name);
  }
  void restore_reset_state() override {
    host::LinkedFirmware::instance().restore_reset_state();
    if (on_reset_) on_reset_();
  }
  std::string name() const override { return "test image"; }

 private:
  std::map<std::string, void*> symbols_;
  std::function<void()> on_reset_;
};

}  // namespace test
