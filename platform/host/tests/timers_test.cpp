// Timer rates follow from the prescaler and auto-reload the board sets up;
// TIM4's auto-reload written in its interrupt applies to the running period.
#include <vector>

#include "platform_fixture.h"

namespace test {
namespace {

std::vector<Time> tim3_entries, tim4_entries;
Time timers_started;

void tim3_handler() {
  tim3_entries.push_back(now());
  HAL_TIM_IRQHandler(&htim3);
}

void tim4_handler() {
  tim4_entries.push_back(now());
  // The stepper tick's way: a new period written straight into ARR.
  htim4.Instance->ARR = tim4_entries.size() % 2 == 1 ? 40000 : 60000;
  HAL_TIM_IRQHandler(&htim4);
}

int timers_main() {
  board_clocks();
  MX_GPIO_Init();
  MX_TIM2_Init();
  MX_TIM3_Init();
  MX_TIM4_Init();
  HAL_TIM_Base_Start_IT(&htim3);
  HAL_TIM_Base_Start_IT(&htim4);
  HAL_TIM_Base_Start(&htim2);
  timers_started = now();
  for (;;) __NOP();
}

class Timers : public PlatformTest {
 protected:
  Timers()
      : image_([] {
          tim3_entries.clear();
          tim4_entries.clear();
        }) {
    image_.provide("main", &timers_main);
    image_.provide("TIM3_IRQHandler", &tim3_handler);
    image_.provide("TIM4_IRQHandler", &tim4_handler);
    start(image_);
  }
  TestImage image_;
};

TEST_F(Timers, OneSecondTimerFires3600TimesIn3600Point29Seconds) {
  machine().run_until(s(1));
  const Time t0 = timers_started;
  machine().run_until(t0 + s(3600.28));
  EXPECT_EQ(tim3_entries.size(), 3599u);
  machine().run_until(t0 + s(3600.29));
  EXPECT_EQ(tim3_entries.size(), 3600u);
  // Each period is 1526 * 65536 cycles of the 100 MHz timer clock.
  EXPECT_NEAR(static_cast<double>(tim3_entries[10] - tim3_entries[9]), 1526.0 * 65536.0, 2.0);
}

TEST_F(Timers, StepperTimerTakesItsNewPeriodInTheRunningPeriod) {
  machine().run_until(s(0.1));
  ASSERT_GE(tim4_entries.size(), 5u);
  // Set-up period: 3 * 50001 cycles; then 40000 and 60000 alternate, each
  // applying to the period in which it was written.
  EXPECT_NEAR(static_cast<double>(tim4_entries[0] - timers_started), 3.0 * 50001, 200);
  EXPECT_NEAR(static_cast<double>(tim4_entries[1] - tim4_entries[0]), 3.0 * 40001, 4);
  EXPECT_NEAR(static_cast<double>(tim4_entries[2] - tim4_entries[1]), 3.0 * 60001, 4);
  EXPECT_NEAR(static_cast<double>(tim4_entries[3] - tim4_entries[2]), 3.0 * 40001, 4);
}

TEST_F(Timers, PulseCounterRunsAt100MHzAndWrapsAfter42Point9Seconds) {
  machine().run_until(s(1));
  const std::uint32_t a = htim2.Instance->CNT;
  machine().run_until(s(2));
  const std::uint32_t b = htim2.Instance->CNT;
  EXPECT_NEAR(static_cast<double>(b - a), 1e8, 300);
  machine().run_until(s(1) + s(42.94967296));
  const std::uint32_t c = htim2.Instance->CNT;
  EXPECT_LT(static_cast<std::uint32_t>(c - a), 300u);  // one full turn of 2^32 counts
}

}  // namespace
}  // namespace test
