#include "firmware_runner.h"

namespace test {

namespace {

void (*g_setup)() = nullptr;
std::function<void()>* g_pending = nullptr;
bool g_done = false;

// The entry point: the board set-up, then the bodies handed over, one by one.
int runner_main() {
  board_clocks();
  g_setup();
  for (;;) {
    if (g_pending != nullptr) {
      std::function<void()>* body = g_pending;
      g_pending = nullptr;
      (*body)();
      g_done = true;
    }
    __NOP();
  }
}

}  // namespace

FirmwareRunner::FirmwareRunner(void (*setup)()) {
  g_setup = setup;
  g_pending = nullptr;
  image_.provide("main", &runner_main);
  machine_ = std::make_unique<host::Machine>(image_);
}

FirmwareRunner::~FirmwareRunner() {
  machine_.reset();
  g_pending = nullptr;
}

void FirmwareRunner::run_firmware(std::function<void()> body, Time limit) {
  if (stuck_) {
    ADD_FAILURE() << "the firmware code run before has not returned";
    return;
  }
  body_ = std::move(body);
  g_done = false;
  g_pending = &body_;
  if (!machine_->powered()) machine_->set_powered(true);
  const Time end = now() + limit;
  while (!g_done && now() < end) machine_->run_for(ms(1));
  if (!g_done) {
    stuck_ = true;  // the firmware is still inside the body: keep it alive, run nothing more
    ADD_FAILURE() << "the firmware code did not return within " << host::to_seconds(limit) << " s";
  }
}

}  // namespace test
