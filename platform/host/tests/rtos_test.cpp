// The kernel: equal-priority tasks share the processor in 1 ms slices, delays
// block for whole ticks, and a task may suspend itself until resumed.
#include <string>
#include <vector>

#include "cmsis_os.h"
#include "platform_fixture.h"

namespace test {
namespace {

osThreadId_t a_handle, b_handle, c_handle;
std::vector<std::uint32_t> delays;
std::vector<std::string> events;

void spinner(void*) {
  for (;;) __NOP();
}

void delayer(void*) {
  for (std::uint32_t d : {1u, 10u, 300u}) {
    const std::uint32_t before = osKernelGetTickCount();
    osDelay(d);
    delays.push_back(osKernelGetTickCount() - before);
  }
  for (;;) osDelay(1000);
}

void sleeper(void*) {
  events.push_back("sleeper suspends itself");
  vTaskSuspend(NULL);
  events.push_back("sleeper resumed");
  for (;;) osDelay(1000);
}

void waker(void*) {
  osDelay(50);
  events.push_back("waker resumes sleeper");
  vTaskResume(reinterpret_cast<TaskHandle_t>(b_handle));
  for (;;) osDelay(1000);
}

const osThreadAttr_t attr_a = task_attributes("A", 1024);
const osThreadAttr_t attr_b = task_attributes("B", 1024);
const osThreadAttr_t attr_c = task_attributes("C", 1024);
const osThreadAttr_t attr_big = task_attributes("big", 17000);

int slicing_main() {
  board_clocks();
  osKernelInitialize();
  a_handle = osThreadNew(spinner, nullptr, &attr_a);
  b_handle = osThreadNew(spinner, nullptr, &attr_b);
  c_handle = osThreadNew(spinner, nullptr, &attr_c);
  osKernelStart();
  return 0;
}

int delay_main() {
  board_clocks();
  osKernelInitialize();
  a_handle = osThreadNew(delayer, nullptr, &attr_a);
  b_handle = osThreadNew(sleeper, nullptr, &attr_b);
  c_handle = osThreadNew(waker, nullptr, &attr_c);
  osKernelStart();
  return 0;
}

int heap_main() {
  board_clocks();
  osKernelInitialize();
  a_handle = osThreadNew(spinner, nullptr, &attr_big);
  b_handle = osThreadNew(spinner, nullptr, &attr_big);  // 2 x 16 KB do not fit in 32 KB
  c_handle = osThreadNew(spinner, nullptr, &attr_c);
  osKernelStart();
  return 0;
}

class Kernel : public PlatformTest {
 protected:
  Kernel()
      : image_([] {
          delays.clear();
          events.clear();
        }) {}
  TestImage image_;
};

TEST_F(Kernel, EqualPriorityTasksTakeTurnsEveryMillisecond) {
  image_.provide("main", &slicing_main);
  start(image_);
  machine().run_until(ms(10));
  // Sample the running task in the middle of each of 12 kernel ticks.
  std::vector<std::string> seen;
  const std::uint32_t t0 = machine().kernel_ticks();
  for (std::uint32_t tick = t0 + 1; tick <= t0 + 12; ++tick) {
    while (machine().kernel_ticks() < tick) machine().run_for(us(10));
    machine().run_for(us(500));
    seen.push_back(machine().task_name());
  }
  for (std::size_t i = 3; i < seen.size(); ++i) EXPECT_EQ(seen[i], seen[i - 3]) << "at slice " << i;
  EXPECT_NE(seen[0], seen[1]);
  EXPECT_NE(seen[1], seen[2]);
  EXPECT_NE(seen[0], seen[2]);
}

TEST_F(Kernel, DelaysBlockForWholeTicksAndSuspendedTasksWaitForResume) {
  image_.provide("main", &delay_main);
  start(image_);
  machine().run_until(ms(400));
  EXPECT_EQ(delays, (std::vector<std::uint32_t>{1, 10, 300}));
  EXPECT_EQ(events, (std::vector<std::string>{"sleeper suspends itself", "waker resumes sleeper", "sleeper resumed"}));
}

TEST_F(Kernel, TaskCreationFailsWhenTheKernelHeapIsFull) {
  image_.provide("main", &heap_main);
  start(image_);
  machine().run_until(ms(5));
  EXPECT_NE(a_handle, nullptr);
  EXPECT_EQ(b_handle, nullptr);
  EXPECT_NE(c_handle, nullptr);
}

}  // namespace
}  // namespace test
