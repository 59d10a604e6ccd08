// Cruise control. The control tick turns the speed error into a throttle
// demand `ccthr` (0..1 of the stepper's travel) and handles the buttons; the
// stepper tick steps the throttle motor toward that demand, at most one step
// per tick, and runs it back to closed (step 0) when the control is off.
#include "cruise_control.h"

#include <math.h>

#include "board_setup.h"
#include "m4_convert.h"
#include "main.h"
#include "vehicle_state.h"

// Stepper tick periods in TIM4 counts (100 MHz / 3).
#define STEPPER_PERIOD_RETURN 40000U  // 1.2 ms: running back to closed
#define STEPPER_PERIOD_NORMAL 60000U  // 1.8 ms
// Steps of demand either side of the position that do not move the motor.
#define STEPPER_DEAD_BAND 30
// Steps driven past the recorded position toward closed after the stop input,
// so that a throttle that lost steps still reaches its closed stop.
#define STOP_OVER_TRAVEL 20U

// The speed reading seen by the previous control tick.
static float speed_at_last_tick = 0.0f;

static float clamp01(float x) { return fminf(fmaxf(x, 0.0f), 1.0f); }

static bool pin_high(GPIO_TypeDef* port, uint16_t pin) { return HAL_GPIO_ReadPin(port, pin) != GPIO_PIN_RESET; }

static void disengage(void) {
  ccenable = 0;
  targetspeed = 0.0f;
}

void CriuseControlInterrupt(void) {
  // A speed reading that drops straight to 0 from cruising speed means the
  // speed pulses have stopped (the once-a-second computation zeroes the
  // reading after a second without one), not that the car stopped: the
  // control would see the whole target as error and open the throttle fully.
  // Let go instead, as the stop input does. Engaging at standstill (the
  // configuration menu's test) is not a fall and stays engaged.
  const float speed_now = speed;
  if (ccenable && speed_now == 0.0f && speed_at_last_tick > (float)CC_MINIMUM_SPEED) {
    disengage();
  }
  speed_at_last_tick = speed_now;

  // Both terms work on the same reading, the one checked above.
  const float error = targetspeed - speed_now;
  cc_integral = clamp01(cc_integral + error * cc_Igain / 1000.0f);
  const float cc_proportional = clamp01(error * cc_Pgain / 10.0f);
  ccthr = clamp01(cc_integral + cc_proportional + cc_derivative);

  // Both buttons together engage at the speed rounded down to 5 km/h, or
  // disengage; once per press.
  if (pin_high(cc_up_GPIO_Port, cc_up_Pin) && pin_high(cc_down_GPIO_Port, cc_down_Pin)) {
    if (cc_en_hold == 0) {
      if (ccenable == 0 && speed > (float)CC_MINIMUM_SPEED) {
        ccenable = 1;
        const int32_t fives = m4_float_to_int32(speed / 5.0f);
        targetspeed = (float)(int32_t)((uint32_t)fives * 5U);  // wraps as the target's multiply does
      } else {
        disengage();
      }
    }
    cc_en_hold = 1;
  } else {
    cc_en_hold = 0;
  }

  if (pin_high(cc_up_GPIO_Port, cc_up_Pin) && !pin_high(cc_down_GPIO_Port, cc_down_Pin)) {
    if (cc_up_hold == 0) {
      targetspeed = targetspeed + 5.0f;
    }
    cc_up_hold = 1;
  } else {
    cc_up_hold = 0;
  }

  if (!pin_high(cc_up_GPIO_Port, cc_up_Pin) && pin_high(cc_down_GPIO_Port, cc_down_Pin) && targetspeed >= 50.0f) {
    if (cc_down_hold == 0) {
      targetspeed = targetspeed - 5.0f;
    }
    cc_down_hold = 1;
  } else {
    cc_down_hold = 0;
  }

  if (pin_high(cc_stop_GPIO_Port, cc_stop_Pin)) {
    if (ccenable) {
      actualsteps = (uint16_t)(actualsteps + STOP_OVER_TRAVEL);
    }
    disengage();
  }
}

void StepperControlnterrupt(void) {
  targetsteps = (uint16_t)m4_float_to_uint32((float)stepper_range * ccthr);
  if (ccenable == 0) {
    targetsteps = 0;
  }

  // The period being counted now takes the new length.
  htim4.Instance->ARR = (ccenable == 0 && targetsteps < actualsteps) ? STEPPER_PERIOD_RETURN : STEPPER_PERIOD_NORMAL;

  if (ccenable == 0 && targetsteps >= actualsteps) {
    // Off and closed: release the motor.
    HAL_GPIO_WritePin(stepper_en_GPIO_Port, stepper_en_Pin, GPIO_PIN_SET);
    return;
  }

  HAL_GPIO_WritePin(stepper_en_GPIO_Port, stepper_en_Pin, GPIO_PIN_RESET);
  direction = targetsteps < actualsteps ? 1 : 0;
  HAL_GPIO_WritePin(stepper_dir_GPIO_Port, stepper_dir_Pin, direction ? GPIO_PIN_SET : GPIO_PIN_RESET);

  const int32_t target = targetsteps;
  const int32_t actual = actualsteps;
  const bool outside_dead_band = target > actual + STEPPER_DEAD_BAND || target < actual - STEPPER_DEAD_BAND;
  // A change of direction waits one tick, so the direction line is settled
  // a whole tick before the first step that way.
  if ((outside_dead_band || (target != actual && ccenable == 0)) && direction == lastdirection) {
    HAL_GPIO_WritePin(stepper_step_GPIO_Port, stepper_step_Pin, GPIO_PIN_RESET);
    HAL_GPIO_WritePin(stepper_step_GPIO_Port, stepper_step_Pin, GPIO_PIN_SET);
    actualsteps = (uint16_t)(direction ? actualsteps - 1 : actualsteps + 1);
  }
  lastdirection = direction;
}
