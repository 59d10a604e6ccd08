// The millisecond tick on TIM1 and the busy-wait delays built on it.
#include <vector>

#include "cmsis_os.h"
#include "platform_fixture.h"
#include "stm32f4xx_it.h"
#include "tm_stm32_delay.h"

namespace test {
namespace {

std::uint64_t tim1_updates;
std::vector<Time> delay_lengths;
std::vector<std::uint32_t> callback_ticks;
HAL_StatusTypeDef init_16_status;
std::uint32_t prio_after;
TM_DELAY_Timer_t soft_timer;

void counting_tim1() {
  ++tim1_updates;
  TIM1_UP_TIM10_IRQHandler();  // the firmware's own handler
}

void at_tick(TM_DELAY_Timer_t*, void*) { callback_ticks.push_back(HAL_GetTick()); }

void delays_task(void*) {
  // Just after a tick edge, then just before the next one.
  const std::uint32_t t = HAL_GetTick();
  while (HAL_GetTick() == t) __NOP();
  Time a = now();
  HAL_Delay(0);
  delay_lengths.push_back(now() - a);
  spin_until(now() + us(950));
  a = now();
  HAL_Delay(1);
  delay_lengths.push_back(now() - a);
  a = now();
  HAL_Delay(5);
  delay_lengths.push_back(now() - a);
  for (;;) osDelay(1000);
}

const osThreadAttr_t attr = task_attributes("t", 1024);

int tick_main() {
  board_clocks();
  init_16_status = HAL_InitTick(16);
  prio_after = uwTickPrio;
  osKernelInitialize();
  osThreadNew(delays_task, nullptr, &attr);
  osKernelStart();
  return 0;
}

class Tick : public PlatformTest {
 protected:
  Tick()
      : image_([] {
          tim1_updates = 0;
          delay_lengths.clear();
          callback_ticks.clear();
          soft_timer = {};
        }) {
    image_.provide("main", &tick_main);
    image_.provide("TIM1_UP_TIM10_IRQHandler", &counting_tim1);
    start(image_);
  }
  TestImage image_;
};

TEST_F(Tick, EachTimerUpdateIsOneMillisecondOfTick) {
  machine().run_until(ms(10));
  const std::uint64_t u0 = tim1_updates;
  const std::uint32_t t0 = HAL_GetTick();
  machine().run_until(ms(10) + s(2.5));
  EXPECT_EQ(HAL_GetTick() - t0, tim1_updates - u0);
  EXPECT_EQ(tim1_updates - u0, 2500u);
}

TEST_F(Tick, DelayZeroReturnsAtOnceAndDelayOneEndsAtTheNextTick) {
  machine().run_until(ms(50));
  ASSERT_EQ(delay_lengths.size(), 3u);
  EXPECT_LT(delay_lengths[0], us(2));
  EXPECT_GT(delay_lengths[1], us(10));
  EXPECT_LT(delay_lengths[1], us(70));
  EXPECT_GT(delay_lengths[2], ms(4));
  EXPECT_LE(delay_lengths[2], ms(5));
}

TEST_F(Tick, InitTickWithPriority16FailsButLeavesTheTickRunning) {
  machine().run_until(ms(20));
  EXPECT_EQ(init_16_status, HAL_ERROR);
  EXPECT_EQ(prio_after, 15u);
  const std::uint32_t t0 = HAL_GetTick();
  machine().run_until(ms(40));
  EXPECT_EQ(HAL_GetTick() - t0, 20u);
}

TEST_F(Tick, SoftwareTimersCountDownOnTheTick) {
  machine().run_until(ms(5));
  soft_timer.ARR = 3;
  soft_timer.CNT = 3;
  soft_timer.Flags.F.CNTEN = 1;
  soft_timer.Callback = at_tick;
  CustomTimers.Timers[0] = &soft_timer;
  CustomTimers.Count = 1;
  const std::uint32_t t0 = HAL_GetTick();
  machine().run_until(ms(25));
  // One-shot: once, on the third tick, then stopped.
  ASSERT_EQ(callback_ticks.size(), 1u);
  EXPECT_EQ(callback_ticks[0] - t0, 3u);
  EXPECT_EQ(soft_timer.Flags.F.CNTEN, 0);

  callback_ticks.clear();
  soft_timer.Flags.F.AREN = 1;
  soft_timer.Flags.F.CNTEN = 1;
  const std::uint32_t t1 = HAL_GetTick();
  machine().run_until(ms(25) + us(9500));
  ASSERT_EQ(callback_ticks.size(), 3u);
  EXPECT_EQ(callback_ticks[0] - t1, 3u);
  EXPECT_EQ(callback_ticks[1] - t1, 6u);
  EXPECT_EQ(callback_ticks[2] - t1, 9u);
  CustomTimers.Count = 0;
}

}  // namespace
}  // namespace test
