// The once-a-second computation: instantaneous consumption, engine and car
// standstill, averages of the active trip channel and the ranges.
#include <math.h>

#include "main.h"
#include "trip_computer.h"
#include "vehicle_state.h"

void OneSecInt(void) {
  // Derivative term of the cruise control: the change of the speed error over
  // the last second. The error is read once, so the term and the error kept
  // for the next second agree even if a speed pulse comes in between.
  const float error = targetspeed - speed;
  cc_derivative = (error - lasterror) * cc_Dgain;
  lasterror = error;

  // Consumption of the fuel in use over the last second, per distance and per hour.
  if (IsOnLpg) {
    instcons = (float)((lpgcons - lastlpgcons) / (distlpg - lastdistlpg) * 100.0);
    instconsph = (float)((lpgcons - lastlpgcons) * 3600.0);
  } else {
    instcons = (float)((pbcons - lastpbcons) / (distpb - lastdistpb) * 100.0);
    instconsph = (float)((pbcons - lastpbcons) * 3600.0);
  }
  lastlpgcons = lpgcons;
  lastpbcons = pbcons;
  lastdistlpg = distlpg;
  lastdistpb = distpb;

  // No opening of the injector in use for a second: below 1300 rev/min the
  // engine has stopped; at higher speed it is a fuel cut-off.
  const bool no_injection = IsOnLpg ? rpmticklpg == lastrpmticklpg : rpmtickpb == lastrpmtickpb;
  if (no_injection && rpm < 1300) {
    HAL_GPIO_WritePin(pk1_GPIO_Port, pk1_Pin, GPIO_PIN_RESET);
    rpm = 0;
  } else {
    HAL_GPIO_WritePin(pk1_GPIO_Port, pk1_Pin, GPIO_PIN_SET);
  }
  if (no_injection) {
    injtime = 0.0f;
  }
  lastrpmtickpb = rpmtickpb;
  lastrpmticklpg = rpmticklpg;

  // No speed pulse for a second: the car stands.
  if (HAL_GetTick() - 1000U > lastspdtick) {
    speed = 0.0f;
  }

  // Averages of the active channel, capped at 99; a channel without distance
  // reads 99 (x/0 is infinite, 0/0 is not a number, and fmin drops a NaN).
  const struct bc* c = &ch[active_ch - 1];
  avglpgcons = (float)fmin(99.0, c->lpgcons / c->distlpg * 100.0);
  avgpbcons = (float)fmin(99.0, c->pbcons / c->distpb * 100.0);

  // Range: litres left over litres per km.
  lpgrange = (float)lpgcap * lpglvl / avglpgcons * 100.0f;
  pbrange = (float)pbcap * pblvl / avgpbcons * 100.0f;
}
