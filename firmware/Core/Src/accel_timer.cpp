// Time from the millisecond tick, speed from the filtered road speed and
// distance from the live distance of the fuel in use, read on every pass: a
// result is as fine as the tick and the pass that first sees its threshold.
#include "accel_timer.h"

#include <math.h>
#include <stdio.h>

#include "cmsis_os.h"
#include "ignition.h"
#include "menu_controls.h"
#include "stm32f4xx_hal.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

namespace {

constexpr double kEighthMileKm = 0.201;
constexpr double kQuarterMileKm = 0.402;
// A result below this is one not yet measured.
constexpr double kUnmeasured = 0.1;

// Seconds since the start of the run, from a fresh tick at every use.
double elapsed(void) { return (double)(uint32_t)(HAL_GetTick() - starttick) / 1000.0; }

double distance_now(void) { return IsOnLpg ? distlpg : distpb; }

void reset_run(void) {
  starttick = 0;
  ready = 0;
  running = 0;
  time60 = 0.0f;
  time100 = 0.0f;
  time150 = 0.0f;
  time200 = 0.0f;
  time18mile = 0.0f;
  time14mile = 0.0f;
  speed18mile = 0.0f;
  speed14mile = 0.0f;
  startdist = 0.0;
}

// Red until the car has been seen standing; then green.
void draw_status(void) {
  if (speed > 0.0f && ready == 0) {
    snprintf(buf, 50, "Zatrzymaj sie");
    Displ_WString(0, 0, buf, Font40, 1, RED, BLACK);
    return;
  }
  ready = 1;
  if (running == 0) {
    snprintf(buf, 50, "GO           ");
  } else {
    snprintf(buf, 50, "%.1fkm/h        ", (double)speed);
  }
  Displ_WString(0, 0, buf, Font40, 1, GREEN, BLACK);
}

void start_when_moving(void) {
  if (ready == 1 && speed > 0.0f && running == 0) {
    starttick = HAL_GetTick();
    startdist = IsOnLpg ? distlpg : distpb;
    running = 1;
  }
}

void check_speed(float threshold, float* result) {
  if (speed > threshold && (double)*result < kUnmeasured) {
    *result = (float)elapsed();
  }
}

void check_distance(double km, float* time_result, float* speed_result) {
  const bool covered = IsOnLpg ? startdist + km < distlpg : startdist + km < distpb;
  if (covered && (double)*time_result < kUnmeasured) {
    *time_result = (float)elapsed();
    *speed_result = speed;
  }
}

void measure(void) {
  check_speed(60.0f, &time60);
  check_speed(100.0f, &time100);
  check_speed(150.0f, &time150);
  check_speed(200.0f, &time200);
  check_distance(kEighthMileKm, &time18mile, &speed18mile);
  check_distance(kQuarterMileKm, &time14mile, &speed14mile);
  snprintf(buf, 40, "czas:%.2fs ", elapsed());
  Displ_WString(0, 290, buf, Font24, 1, WHITE, BLACK);
  snprintf(buf, 40, "dyst:%.0fm ", (distance_now() - startdist) * 1000.0);
  Displ_WString(230, 290, buf, Font24, 1, WHITE, BLACK);
}

void result_line(uint16_t y) { Displ_WString(0, y, buf, Font24, 1, YELLOW, BLACK); }

void draw_results(void) {
  snprintf(buf, 50, "0-60km/h    - %.2fs", (double)time60);
  result_line(50);
  snprintf(buf, 50, "0-100km/h   - %.2fs", (double)time100);
  result_line(75);
  snprintf(buf, 50, "0-150km/h   - %.2fs", (double)time150);
  result_line(100);
  snprintf(buf, 50, "0-200km/h   - %.2fs", (double)time200);
  result_line(125);
  // Nothing before both ends are measured.
  snprintf(buf, 50, "100-150km/h - %.2fs", fmax(0.0, (double)(time150 - time100)));
  result_line(150);
  snprintf(buf, 50, "1/8 mili  - %.2fs @ %.1fkm/h", (double)time18mile, (double)speed18mile);
  result_line(175);
  snprintf(buf, 50, "1/4 mili  - %.2fs @ %.1fkm/h", (double)time14mile, (double)speed14mile);
  result_line(200);
}

void pass(void) {
  draw_status();
  start_when_moving();
  if (running) {
    measure();
  }
  draw_results();
}

}  // namespace

void accel_timer(void) {
  if (dragyinitialized == 0) {
    osDelay(200);
    reset_run();
    Displ_CLS(BLACK);
  }
  dragyinitialized = 1;
  while (!button_pressed()) {
    if (ignition_off()) {
      dragyinitialized = 0;
      leave_for_power_down();
      return;
    }
    pass();
  }
  Displ_CLS(BLACK);
  menu = 0;
  dragyinitialized = 0;
}
