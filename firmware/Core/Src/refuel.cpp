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

void check_for_refuel(void) {
  if ((double)pblvl_start < 0.3 && (double)pblvl > 0.8 && autoreset != 0) {
    announce("Zatankowano benzyne");
    pblvl_start = 0.8f;  // the same refuel is not reported again
    const uint32_t t0 = HAL_GetTick();
    if (countdown(t0)) {
      resetpb(1);
    }
    Displ_CLS(BLACK);
  }
  if ((double)lpglvl_start < 0.3 && (double)lpglvl > 0.8 && autoreset != 0) {
    announce("Zatankowano gaz");
    const uint32_t t0 = HAL_GetTick();
    lpglvl_start = 0.8f;
    if (countdown(t0)) {
      resetlpg(1);
    }
    Displ_CLS(BLACK);
  }
}
