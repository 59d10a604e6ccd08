#include "firmware_call.h"

#include "board_setup.h"
#include "main.h"

namespace bench {

namespace {
std::function<void()> g_body;
bool g_done = false;

// Each call hands a body over; the start-up context runs them one by one.
int call_main() {
  HAL_Init();
  SystemClock_Config();
  MX_GPIO_Init();
  MX_I2C1_Init();
  for (;;) {
    if (g_body) {
      const std::function<void()> body = std::move(g_body);
      g_body = nullptr;
      body();
      g_done = true;
    }
    __NOP();
  }
}
}  // namespace

FirmwareCall::FirmwareCall() {
  image.provide("main", &call_main);
  machine = std::make_unique<host::Machine>(image);
}

FirmwareCall::~FirmwareCall() {
  machine.reset();
  g_body = nullptr;
}

void FirmwareCall::call(std::function<void()> body, host::Time limit) {
  g_body = std::move(body);
  g_done = false;
  if (!machine->powered()) machine->set_powered(true);
  const host::Time end = machine->now() + limit;
  while (!g_done && machine->now() < end) machine->run_for(host::from_ms(1));
}

}  // namespace bench
