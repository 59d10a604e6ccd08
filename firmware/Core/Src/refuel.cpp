#include "refuel.h"

#include <stdio.h>

#include "main.h"
#include "trip_computer.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

static bool button_released(void) { return HAL_GPIO_ReadPin(enc_but_GPIO_Port, enc_but_Pin) == GPIO_PIN_SET; }

// Five seconds to cancel with the button, counting down on the screen.
// Returns true when the driver let them pass.
static bool countdown(uint32_t t0) {
  while (button_released()) {
    if (HAL_GetTick() > t0 + 5000) {
      break;
    }
    snprintf(buf, 40, "Anuluj..%ds", (int)(5U - (HAL_GetTick() - t0) / 1000U));
    Displ_WString(0, 160, buf, Font32, 1, WHITE, BLACK);
  }
  return button_released();
}

static void announce(const char* what) {
  Displ_CLS(BLACK);
  snprintf(buf, 40, "%s", what);
  Displ_WString(0, 40, buf, Font32, 1, WHITE, BLACK);
  snprintf(buf, 40, "Nastapi reset kan.1");
  Displ_WString(0, 100, buf, Font32, 1, WHITE, BLACK);
}

// Low at switch-on and full now.
static bool refuelled(float start_level, float level) {
  return (double)start_level < 0.3 && (double)level > 0.8 && autoreset != 0;
}

// A start level of 0.8 keeps the same refuel from being reported again.
constexpr float kReported = 0.8f;

// Unless the driver cancels within five seconds of t0, trip channel 1 starts
// again for the fuel.
static void offer_reset(uint32_t t0, void (*reset)(uint8_t channel)) {
  if (countdown(t0)) {
    reset(1);
  }
  Displ_CLS(BLACK);
}

// Petrol marks its refuel before the countdown's start tick is read, LPG after
// it; the globals can be looked at during that read, so each keeps its order.
void check_for_refuel(void) {
  if (refuelled(pblvl_start, pblvl)) {
    announce("Zatankowano benzyne");
    pblvl_start = kReported;
    offer_reset(HAL_GetTick(), resetpb);
  }
  if (refuelled(lpglvl_start, lpglvl)) {
    announce("Zatankowano gaz");
    const uint32_t t0 = HAL_GetTick();
    lpglvl_start = kReported;
    offer_reset(t0, resetlpg);
  }
}
