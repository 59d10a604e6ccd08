// The pulse inputs: speed sensor, petrol and LPG injector lines and the
// encoder clock, measured in the pin-change interrupt against the free-running
// 100 MHz counter of TIM2.
#include "board_setup.h"
#include "main.h"
#include "vehicle_state.h"

// Counter counts per minute (6e9) times the crank turns per injection.
static uint64_t rpm_factor(uint8_t type) {
  switch (type) {
    case 1: return 6000000000ULL;
    case 2: return 12000000000ULL;
    case 3: return 24000000000ULL;
    default: return 0;
  }
}

// TIM2's counter. Edges can arrive before board set-up has configured it;
// they then see a counter that does not move.
static uint32_t pulse_counter(void) { return htim2.Instance != NULL ? (uint32_t)htim2.Instance->CNT : 0U; }

// Engine speed from one injection period. A period of 0 counts (two openings
// at one counter value, or a counter not yet running) tells nothing: keep the
// last value rather than divide by it.
static void update_rpm(uint32_t period) {
  const uint64_t k = rpm_factor(injtype);
  if (k == 0 || period == 0) {
    return;
  }
  const uint64_t q = k / period;
  rpm = q < 9999U ? (int)q : 9999;
}

// Opening time in ms of the injection that ends now.
static float opening_ms(uint32_t opened_at) {
  return (float)((double)(uint32_t)(pulse_counter() - opened_at) / 100000.0);
}

static bool countable(float ms) { return ms > 0.5f && ms < 300.0f; }

static void on_speed_pulse(void) {
  if (speed > 1000.0f) {
    speed = 0.0f;  // a wrapped or zero period last time: restart the filter
  }
  const uint32_t now = pulse_counter();
  const uint32_t d = now - speedtick;
  const double instant = (double)SPD_CAL * 100000000.0 / (double)d;
  speed = (float)((double)speed * 0.9 + instant * 0.1);
  speedtick = now;
  lastspdtick = HAL_GetTick();
  if (IsOnLpg) {
    distlpg = distlpg + (double)SPD_CAL / 3600.0;
  } else {
    distpb = distpb + (double)SPD_CAL / 3600.0;
  }
}

static void on_petrol_edge(void) {
  // On sequential LPG the petrol line keeps pulsing; skip it while LPG
  // injections keep coming (each valid one clears ignorepb).
  if (lpgtype == 1 && IsOnLpg && ignorepb < 2) {
    ignorepb++;
    return;
  }
  ignorepb = 0;
  if (HAL_GPIO_ReadPin(wtr_pb_GPIO_Port, wtr_pb_Pin) == GPIO_PIN_RESET) {
    const uint32_t now = pulse_counter();
    injtickpb = now;
    rpmmpb = now - rpmtickpb;
    rpmtickpb = now;
    return;
  }
  injtime = opening_ms(injtickpb);
  if (!countable(injtime)) {
    return;
  }
  if (lpgtype == 2 && IsOnLpg) {
    lpgcons = lpgcons + (double)(LPG_CAL * injtime) * 0.00001;
  } else {
    pbcons = pbcons + (double)(PB_CAL * injtime) * 0.00001;
  }
  update_rpm(rpmmpb);
  if (lpgtype == 1 || lpgtype == 3) {
    IsOnLpg = 0;
  } else if (lpgtype == 2) {
    IsOnLpg = HAL_GPIO_ReadPin(wtr_lpg_GPIO_Port, wtr_lpg_Pin) == GPIO_PIN_SET ? 1 : 0;
  }
}

static void on_lpg_edge(void) {
  if (lpgtype != 1) {
    return;  // a level (type 2) or nothing (type 3) on this line
  }
  if (HAL_GPIO_ReadPin(wtr_lpg_GPIO_Port, wtr_lpg_Pin) == GPIO_PIN_RESET) {
    const uint32_t now = pulse_counter();
    injticklpg = now;
    rpmmlpg = now - rpmticklpg;
    rpmticklpg = now;
    return;
  }
  injtime = opening_ms(injticklpg);
  if (!countable(injtime)) {
    return;
  }
  lpgcons = lpgcons + (double)(LPG_CAL * injtime) * 0.00001;
  ignorepb = 0;
  update_rpm(rpmmlpg);
  IsOnLpg = 1;
}

static void on_encoder_clock(void) {
  const GPIO_PinState dt = HAL_GPIO_ReadPin(enc_dt_GPIO_Port, enc_dt_Pin);
  const GPIO_PinState clk = HAL_GPIO_ReadPin(enc_clk_GPIO_Port, enc_clk_Pin);
  const uint8_t m = ((uint8_t)clk == enc_inv) ? 1 : 0;
  enc = ((uint8_t)dt == m) ? 1 : 2;
}

void HAL_GPIO_EXTI_Callback(uint16_t GPIO_Pin) {
  if (GPIO_Pin == speed_Pin) {
    on_speed_pulse();
  }
  if (GPIO_Pin == wtr_pb_Pin) {
    on_petrol_edge();
  }
  if (GPIO_Pin == wtr_lpg_Pin) {
    on_lpg_edge();
  }
  if (GPIO_Pin == enc_clk_Pin) {
    on_encoder_clock();
  }
}
