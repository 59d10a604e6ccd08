// Interrupt priorities and nesting as the board configures them, and the
// order in which the shared pin-change interrupt serves its pins.
#include <vector>

#include "platform_fixture.h"
#include "sim/board.h"

namespace test {
namespace {

std::vector<std::uint16_t> exti_order;
Time tim3_in, tim3_out, tim4_in, exti_at;
std::uint32_t exti_ipsr;

void record_exti(std::uint16_t pin) {
  exti_order.push_back(pin);
  exti_at = now();
  exti_ipsr = __get_IPSR();
}

// TIM3 at priority 15 works for 200 µs.
void slow_tim3() {
  if (tim3_in != 0) {
    HAL_TIM_IRQHandler(&htim3);
    return;
  }
  tim3_in = now();
  for (int i = 0; i < 20000; ++i) __NOP();
  tim3_out = now();
  HAL_TIM_IRQHandler(&htim3);
}

void tim4_first() {
  if (tim4_in == 0) tim4_in = now();
  HAL_TIM_IRQHandler(&htim4);
}

Time started;

int nesting_main() {
  board_clocks();
  MX_GPIO_Init();  // pin-change interrupts at priority 5
  // TIM3 every 1 ms and TIM4 first at 1.05 ms, both at priority 15.
  htim3.Instance = TIM3;
  htim3.Init = {99, TIM_COUNTERMODE_UP, 999, TIM_CLOCKDIVISION_DIV1, 0, TIM_AUTORELOAD_PRELOAD_DISABLE};
  HAL_TIM_Base_Init(&htim3);
  htim4.Instance = TIM4;
  htim4.Init = {99, TIM_COUNTERMODE_UP, 1049, TIM_CLOCKDIVISION_DIV1, 0, TIM_AUTORELOAD_PRELOAD_DISABLE};
  HAL_TIM_Base_Init(&htim4);
  started = now();
  HAL_TIM_Base_Start_IT(&htim3);
  HAL_TIM_Base_Start_IT(&htim4);
  for (;;) __NOP();
}

int exti_main() {
  board_clocks();
  MX_GPIO_Init();
  started = now();
  for (;;) __NOP();
}

class Interrupts : public PlatformTest {
 protected:
  Interrupts()
      : image_([] {
          exti_order.clear();
          tim3_in = tim3_out = tim4_in = exti_at = 0;
          exti_ipsr = 0;
        }) {
    image_.provide("HAL_GPIO_EXTI_Callback", &record_exti);
  }
  TestImage image_;
};

TEST_F(Interrupts, PinChangeAtPriority5NestsInsideATimerAndEqualPrioritiesWait) {
  image_.provide("main", &nesting_main);
  image_.provide("TIM3_IRQHandler", &slow_tim3);
  image_.provide("TIM4_IRQHandler", &tim4_first);
  start(image_);
  host::Gpio::DriverId wtr_pb = machine().gpio().add_driver(sim::pins::wtr_pb, host::Drive::High);
  machine().run_until(ms(0.5));
  host::FunctionEvent edge(machine().events(), [&](Time) { machine().gpio().set_drive(wtr_pb, host::Drive::Low); });
  edge.schedule(started + ms(1.1));
  machine().run_until(started + ms(3));

  ASSERT_NE(tim3_in, 0u);
  EXPECT_NEAR(host::to_ms(tim3_in - started), 1.0, 0.01);
  // The pin change pre-empts the timer handler ...
  ASSERT_EQ(exti_order.size(), 1u);
  EXPECT_GT(exti_at, tim3_in);
  EXPECT_LT(exti_at, tim3_out);
  EXPECT_LT(host::to_ms(exti_at - (started + ms(1.1))), 0.005);
  EXPECT_EQ(exti_ipsr, 16u + EXTI15_10_IRQn);
  // ... the other priority-15 timer, due at 1.05 ms, waits for it to finish.
  ASSERT_NE(tim4_in, 0u);
  EXPECT_GE(tim4_in, tim3_out);
}

TEST_F(Interrupts, SharedLineServesPB12ThenPB13ThenPA15) {
  image_.provide("main", &exti_main);
  start(image_);
  auto& g = machine().gpio();
  const auto pb = g.add_driver(sim::pins::wtr_pb, host::Drive::Low);
  const auto lpg = g.add_driver(sim::pins::wtr_lpg, host::Drive::Low);
  const auto clk = g.add_driver(sim::pins::enc_clk, host::Drive::Low);
  machine().run_until(ms(1));
  // All three rise at one instant, the encoder first and the petrol line last.
  host::FunctionEvent edges(machine().events(), [&](Time) {
    g.set_drive(clk, host::Drive::High);
    g.set_drive(lpg, host::Drive::High);
    g.set_drive(pb, host::Drive::High);
  });
  edges.schedule(ms(2));
  machine().run_until(ms(3));
  EXPECT_EQ(exti_order, (std::vector<std::uint16_t>{GPIO_PIN_12, GPIO_PIN_13, GPIO_PIN_15}));
}

TEST_F(Interrupts, ConfiguredEdgesOnly) {
  image_.provide("main", &exti_main);
  start(image_);
  auto& g = machine().gpio();
  const auto clk = g.add_driver(sim::pins::enc_clk, host::Drive::High);
  const auto pb = g.add_driver(sim::pins::wtr_pb, host::Drive::High);
  machine().run_until(ms(1));
  // The encoder clock interrupts on its rising edge only; the petrol
  // injector line on both.
  host::FunctionEvent fall(machine().events(), [&](Time) {
    g.set_drive(clk, host::Drive::Low);
    g.set_drive(pb, host::Drive::Low);
  });
  fall.schedule(ms(2));
  machine().run_until(ms(3));
  EXPECT_EQ(exti_order, (std::vector<std::uint16_t>{GPIO_PIN_12}));
}

// A line that is masked, or that selects another port, takes no edge of the
// pin; unmasked and selected again, it does.
TEST_F(Interrupts, AMaskedOrReroutedLineTakesNoEdgeUntilItIsBack) {
  image_.provide("main", &exti_main);
  start(image_);
  auto& g = machine().gpio();
  const auto pb = g.add_driver(sim::pins::wtr_pb, host::Drive::Low);
  machine().run_until(ms(1));
  const std::uint32_t route = SYSCFG->EXTICR[3];
  const auto toggle_at = [&](Time t) {
    host::FunctionEvent edge(machine().events(), [&](Time) {
      g.set_drive(pb, g.drive_of(pb) == host::Drive::Low ? host::Drive::High : host::Drive::Low);
    });
    edge.schedule(t);
    machine().run_until(t + ms(1));
  };
  EXTI->IMR = EXTI->IMR & ~GPIO_PIN_12;
  toggle_at(ms(2));
  SYSCFG->EXTICR[3] = (route & ~0xFu) | 2u;  // line 12 from port C
  EXTI->IMR = EXTI->IMR | GPIO_PIN_12;
  toggle_at(ms(4));
  EXPECT_TRUE(exti_order.empty());
  SYSCFG->EXTICR[3] = route;
  toggle_at(ms(6));
  EXPECT_EQ(exti_order, (std::vector<std::uint16_t>{GPIO_PIN_12}));
}

}  // namespace
}  // namespace test
