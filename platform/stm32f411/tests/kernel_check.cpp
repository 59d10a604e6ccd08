// Boot check of the start-up code and the kernel on QEMU's emulated
// Cortex-M4F, in instruction-counted virtual time: time slicing among three
// busy tasks of equal priority at the tick rate, osDelay, suspend and resume
// (of another task and of itself) with the task states, SysTick against the
// basic timers TIM3 and TIM4 at their own rates, the FPU registers surviving
// switches between tasks that compute in floating point, and formatted
// output with float conversions in two tasks at once.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cmsis_os.h"
#include "kernel_port.h"
#include "qemu_shim.h"
#include "semihosting.h"
#include "stm32f4xx_hal.h"

namespace {

int failures;

void check(bool ok, const char* what, long value) {
  printf("%s %s: %ld\n", ok ? "ok  " : "FAIL", what, value);
  if (!ok) failures++;
}

// ---------------------------------------------------------------- timers
TIM_HandleTypeDef htim2, htim3, htim4;
volatile uint32_t tim3_updates, tim4_updates;
volatile uint32_t exti_calls[16];
volatile uint32_t exti_callbacks;

void start_timer(TIM_HandleTypeDef* h, TIM_TypeDef* tim, uint32_t prescaler, uint32_t period) {
  h->Instance = tim;
  h->Init.Prescaler = prescaler;
  h->Init.CounterMode = TIM_COUNTERMODE_UP;
  h->Init.Period = period;
  h->Init.ClockDivision = TIM_CLOCKDIVISION_DIV1;
  h->Init.AutoReloadPreload = TIM_AUTORELOAD_PRELOAD_DISABLE;
  if (HAL_TIM_Base_Init(h) != HAL_OK) check(false, "timer set-up", 0);
  tim->SR = 0;  // the update the set-up forced is not a period
  HAL_TIM_Base_Start_IT(h);
}

// ---------------------------------------------------------------- workers
// Each busy task loads its own pattern into all 32 FPU registers, spins long
// enough to be switched out several times, and checks them all.
struct Worker {
  float pattern[32];
  volatile uint32_t rounds;
  volatile uint32_t fpu_errors;
  volatile uint32_t format_errors;
  volatile uint32_t alloc_errors;
  volatile bool formatting;
  volatile bool stop;
};
Worker workers[2];

bool fpu_round(const float* pattern) {
  float seen[32];
  __asm volatile(
      "vldmia %[in], {s0-s31}   \n"
      "mov r12, %[spins]        \n"
      "1: subs r12, r12, #1     \n"
      "bne 1b                   \n"
      "vstmia %[out], {s0-s31}  \n"
      :
      : [in] "r"(pattern), [out] "r"(seen), [spins] "r"(40000)
      : "r12", "memory", "cc", "s0", "s1", "s2", "s3", "s4", "s5", "s6", "s7", "s8", "s9", "s10", "s11", "s12", "s13",
        "s14", "s15", "s16", "s17", "s18", "s19", "s20", "s21", "s22", "s23", "s24", "s25", "s26", "s27", "s28", "s29",
        "s30", "s31");
  return memcmp(seen, pattern, sizeof seen) == 0;
}

// A float formatted the way the screens do, against its known text.
bool format_round(uint32_t i) {
  char text[32];
  const float v = (float)(i % 1000U) * 0.25f - 100.0f;  // exact in binary
  snprintf(text, sizeof text, "%.2f", (double)v);
  const int whole = (int)(i % 1000U) / 4 - 100;
  const int quarter = (int)(i % 4U) * 25;
  char expected[32];
  if (whole < 0 && quarter != 0) {
    snprintf(expected, sizeof expected, "-%d.%02d", -(whole + 1), 100 - quarter);
  } else {
    snprintf(expected, sizeof expected, "%d.%02d", whole, quarter);
  }
  return strcmp(text, expected) == 0;
}

// A block from the C library's heap, filled, held across a likely switch and
// checked: two tasks given overlapping blocks would see each other's bytes.
bool alloc_round(Worker* w, uint32_t i) {
  const size_t size = 16U + (i % 200U);
  auto* block = static_cast<volatile uint8_t*>(malloc(size));
  if (block == nullptr) return false;
  const uint8_t mark = (uint8_t)((w - workers) * 0x55 + 1);
  for (size_t k = 0; k < size; k++) block[k] = mark;
  for (uint32_t spin = 0; spin < 2000U; spin++) __NOP();
  bool ok = true;
  for (size_t k = 0; k < size; k++) ok = ok && block[k] == mark;
  free(const_cast<uint8_t*>(block));
  return ok;
}

void worker_task(void* argument) {
  Worker* w = static_cast<Worker*>(argument);
  uint32_t i = 0;
  while (!w->stop) {
    if (w->formatting) {
      if (!format_round(i++)) w->format_errors = w->format_errors + 1;
      if (!alloc_round(w, i)) w->alloc_errors = w->alloc_errors + 1;
    } else if (!fpu_round(w->pattern)) {
      w->fpu_errors = w->fpu_errors + 1;
    }
    w->rounds = w->rounds + 1;
  }
  vTaskSuspend(nullptr);
}

// A task that wakes, counts and suspends itself, each time it is resumed.
volatile uint32_t sleeper_runs;
void sleeper_task(void*) {
  for (;;) {
    vTaskSuspend(nullptr);
    sleeper_runs = sleeper_runs + 1;
  }
}

osThreadId_t worker_handles[2];
osThreadId_t sleeper_handle;
osThreadId_t checker_handle;

void busy_until(uint32_t tick) {
  while ((int32_t)(osKernelGetTickCount() - tick) < 0) {
  }
}

// ---------------------------------------------------------------- the check
void checker_task(void*) {
  // Three busy tasks of one priority: one switch per tick.
  busy_until(osKernelGetTickCount() + 5);
  const uint32_t t0 = osKernelGetTickCount(), s0 = kp_context_switches;
  const uint32_t r0a = workers[0].rounds, r0b = workers[1].rounds;
  busy_until(t0 + 300);
  const uint32_t ticks = osKernelGetTickCount() - t0, switches = kp_context_switches - s0;
  check(switches >= ticks - 2 && switches <= ticks + 2, "switches in 300 ticks of three busy tasks", (long)switches);
  const uint32_t ra = workers[0].rounds - r0a, rb = workers[1].rounds - r0b;
  check(ra > 0 && rb > 0 && ra * 10 > rb * 8 && rb * 10 > ra * 8, "rounds of the two workers (equal shares)",
        (long)(ra + rb));

  // osDelay: blocked for that many ticks; exact when nothing else is ready.
  check(eTaskGetState((TaskHandle_t)checker_handle) == eRunning, "checker's own state is running", 0);
  check(eTaskGetState((TaskHandle_t)worker_handles[0]) == eReady, "a busy worker's state is ready", 0);
  vTaskSuspend((TaskHandle_t)worker_handles[0]);
  vTaskSuspend((TaskHandle_t)worker_handles[1]);
  check(eTaskGetState((TaskHandle_t)worker_handles[1]) == eSuspended, "a suspended worker's state", 0);
  uint32_t before = osKernelGetTickCount();
  osDelay(50);
  check(osKernelGetTickCount() - before == 50, "ticks passed in osDelay(50), alone", (long)(osKernelGetTickCount() - before));
  before = osKernelGetTickCount();
  osDelay(1);
  check(osKernelGetTickCount() - before == 1, "ticks passed in osDelay(1) just after a tick", (long)(osKernelGetTickCount() - before));
  const uint32_t frozen = workers[0].rounds;
  osDelay(20);
  check(workers[0].rounds == frozen, "a suspended worker does not run", (long)(workers[0].rounds - frozen));
  vTaskResume((TaskHandle_t)worker_handles[0]);
  vTaskResume((TaskHandle_t)worker_handles[1]);
  before = osKernelGetTickCount();
  osDelay(50);
  const uint32_t waited = osKernelGetTickCount() - before;
  check(waited >= 50 && waited <= 52, "ticks passed in osDelay(50) among busy tasks", (long)waited);
  check(workers[0].rounds != frozen, "a resumed worker runs again", 0);

  // A task that suspends itself, resumed twice.
  check(eTaskGetState((TaskHandle_t)sleeper_handle) == eSuspended, "the sleeper suspended itself", 0);
  vTaskResume((TaskHandle_t)sleeper_handle);
  osDelay(5);
  vTaskResume((TaskHandle_t)sleeper_handle);
  osDelay(5);
  check(sleeper_runs == 2 && eTaskGetState((TaskHandle_t)sleeper_handle) == eSuspended,
        "the sleeper ran once per resume", (long)sleeper_runs);

  // SysTick against TIM2 counting microseconds, and the update interrupts of
  // TIM3 (100 Hz) and TIM4 (20 Hz), over 500 ticks. (QEMU's timer model
  // re-arms each update about 0.1 ms late, so faster update rates run slow
  // there; at these rates that stays under one update.)
  const uint32_t a3 = tim3_updates, a4 = tim4_updates;
  const uint32_t c2 = TIM2->CNT;
  before = osKernelGetTickCount();
  osDelay(500);
  const uint32_t elapsed = osKernelGetTickCount() - before;
  const uint32_t us = TIM2->CNT - c2;
  const uint32_t d3 = tim3_updates - a3, d4 = tim4_updates - a4;
  check(us + 1000 >= elapsed * 1000 && us <= elapsed * 1000 + 1000, "microseconds of TIM2 in 500 ticks", (long)us);
  check(d3 + 1 >= elapsed / 10 && d3 <= elapsed / 10 + 1, "TIM3 updates in 500 ticks", (long)d3);
  check(d4 + 1 >= elapsed / 50 && d4 <= elapsed / 50 + 1, "TIM4 updates in 500 ticks", (long)d4);

  // Pin-change lines routed by the HAL (SYSCFG to EXTI). Their interrupts
  // made pending (QEMU's EXTI has no software trigger): priority 5 is held
  // back inside a critical section and served at its end; priority 4 is
  // above the kernel's mask and is served at once.
  GPIO_InitTypeDef pin = {};
  pin.Pin = GPIO_PIN_12 | GPIO_PIN_3;
  pin.Mode = GPIO_MODE_IT_RISING_FALLING;
  HAL_GPIO_Init(GPIOB, &pin);
  check(((SYSCFG->EXTICR[3] & 0xFU) == 1U) && ((SYSCFG->EXTICR[0] >> 12) & 0xFU) == 1U,
        "EXTI lines 12 and 3 routed to port B", (long)SYSCFG->EXTICR[3]);
  HAL_NVIC_SetPriority(EXTI15_10_IRQn, 5, 0);
  HAL_NVIC_SetPriority(EXTI3_IRQn, 4, 0);
  HAL_NVIC_EnableIRQ(EXTI15_10_IRQn);
  HAL_NVIC_EnableIRQ(EXTI3_IRQn);
  kp_enter_critical();
  NVIC->ISPR[(uint32_t)EXTI15_10_IRQn >> 5] = 1UL << ((uint32_t)EXTI15_10_IRQn & 31U);
  NVIC->ISPR[(uint32_t)EXTI3_IRQn >> 5] = 1UL << ((uint32_t)EXTI3_IRQn & 31U);
  __DSB();
  __ISB();
  const uint32_t inside12 = exti_calls[12], inside3 = exti_calls[3];
  kp_exit_critical();
  __DSB();
  __ISB();
  check(inside12 == 0 && exti_calls[12] == 1, "priority 5 held by a critical section, then served",
        (long)exti_calls[12]);
  check(inside3 == 1, "priority 4 served inside a critical section", (long)inside3);
  check(exti_callbacks == 0, "no pin callback without an EXTI pending flag", (long)exti_callbacks);

  // Bus drivers in task context. QEMU has no I2C model (no start condition
  // ever completes): a read must give up with a time-out after its 5 ms.
  // Its SPI model takes bytes at once: a polled transmit completes.
  static I2C_HandleTypeDef i2c;
  i2c.Instance = I2C1;
  i2c.Init.ClockSpeed = 100000;
  i2c.Init.AddressingMode = I2C_ADDRESSINGMODE_7BIT;
  check(HAL_I2C_Init(&i2c) == HAL_OK, "I2C1 set up", 0);
  uint8_t byte = 0;
  before = osKernelGetTickCount();
  const HAL_StatusTypeDef read = HAL_I2C_Mem_Read(&i2c, 0xA0, 0x10, I2C_MEMADD_SIZE_8BIT, &byte, 1, 5);
  const uint32_t gave_up = osKernelGetTickCount() - before;
  check(read == HAL_TIMEOUT && gave_up >= 5 && gave_up <= 8, "I2C read with no answer times out (ticks)", (long)gave_up);
  check(i2c.State == HAL_I2C_STATE_READY, "I2C ready again after the time-out", (long)i2c.State);
  static SPI_HandleTypeDef spi;
  spi.Instance = SPI1;
  spi.Init.Mode = SPI_MODE_MASTER;
  spi.Init.NSS = SPI_NSS_SOFT;
  check(HAL_SPI_Init(&spi) == HAL_OK, "SPI1 set up", 0);
  uint8_t frame[16] = {0x2A, 0, 0, 1, 0xDF};
  check(HAL_SPI_Transmit(&spi, frame, sizeof frame, 10) == HAL_OK, "SPI1 polled transmit", 0);

  // The C library's heap grows up to the start-up stack and no further.
  void* small = malloc(4096);
  void* huge = malloc(200000);
  check(small != nullptr && huge == nullptr, "heap: 4 KB given, 200 KB refused", 0);
  free(small);

  // Both workers format floats at once for a while.
  workers[0].formatting = true;
  workers[1].formatting = true;
  const uint32_t f0 = workers[0].rounds, f1 = workers[1].rounds;
  osDelay(300);
  workers[0].stop = true;
  workers[1].stop = true;
  osDelay(5);
  check(workers[0].rounds - f0 > 50 && workers[1].rounds - f1 > 50, "floats formatted in two tasks at once",
        (long)(workers[0].rounds - f0 + workers[1].rounds - f1));
  check(workers[0].format_errors + workers[1].format_errors == 0, "formatting errors",
        (long)(workers[0].format_errors + workers[1].format_errors));
  check(workers[0].alloc_errors + workers[1].alloc_errors == 0, "heap blocks shared between tasks",
        (long)(workers[0].alloc_errors + workers[1].alloc_errors));
  check(workers[0].fpu_errors + workers[1].fpu_errors == 0, "FPU registers changed across switches",
        (long)(workers[0].fpu_errors + workers[1].fpu_errors));
  check(workers[0].rounds + workers[1].rounds > 0, "rounds in all", (long)(workers[0].rounds + workers[1].rounds));
  printf("kernel check: %d failed, %lu context switches, %lu bytes of kernel heap left\n", failures,
         (unsigned long)kp_context_switches, (unsigned long)kp_heap_free_bytes());
  sh_exit(failures == 0);
}

}  // namespace

extern "C" void TIM3_IRQHandler(void) { HAL_TIM_IRQHandler(&htim3); }
extern "C" void EXTI15_10_IRQHandler(void) {
  exti_calls[12] = exti_calls[12] + 1;
  HAL_GPIO_EXTI_IRQHandler(GPIO_PIN_12);  // no pending flag in EXTI: no callback
}
extern "C" void EXTI3_IRQHandler(void) {
  exti_calls[3] = exti_calls[3] + 1;
  HAL_GPIO_EXTI_IRQHandler(GPIO_PIN_3);
}
void HAL_GPIO_EXTI_Callback(uint16_t GPIO_Pin) { exti_callbacks = exti_callbacks + GPIO_Pin; }
extern "C" void TIM4_IRQHandler(void) { HAL_TIM_IRQHandler(&htim4); }
void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef* htim) {
  if (htim == &htim3) tim3_updates = tim3_updates + 1;
  if (htim == &htim4) tim4_updates = tim4_updates + 1;
}
void HAL_TIM_Base_MspInit(TIM_HandleTypeDef* htim) { (void)htim; }
void HAL_I2C_MspInit(I2C_HandleTypeDef* hi2c) { (void)hi2c; }
void HAL_SPI_MspInit(SPI_HandleTypeDef* hspi) { (void)hspi; }
void HAL_SPI_TxCpltCallback(SPI_HandleTypeDef* hspi) { (void)hspi; }
void HAL_SPI_ErrorCallback(SPI_HandleTypeDef* hspi) { (void)hspi; }

int main(void) {
  qemu_shim_init();
  HAL_NVIC_SetPriorityGrouping(NVIC_PRIORITYGROUP_4);
  // 100 Hz and 20 Hz from the model's timer clock.
  start_timer(&htim3, TIM3, kQemuTimerClockHz / 100000U - 1U, 999);
  start_timer(&htim4, TIM4, kQemuTimerClockHz / 100000U - 1U, 4999);
  htim2.Instance = TIM2;
  htim2.Init = {kQemuTimerClockHz / 1000000U - 1U, TIM_COUNTERMODE_UP, 0xFFFFFFFFU, TIM_CLOCKDIVISION_DIV1, 0,
                TIM_AUTORELOAD_PRELOAD_DISABLE};
  HAL_TIM_Base_Init(&htim2);
  HAL_TIM_Base_Start(&htim2);
  HAL_NVIC_SetPriority(TIM3_IRQn, 15, 0);
  HAL_NVIC_SetPriority(TIM4_IRQn, 15, 0);
  HAL_NVIC_EnableIRQ(TIM3_IRQn);
  HAL_NVIC_EnableIRQ(TIM4_IRQn);

  for (int w = 0; w < 2; w++)
    for (int r = 0; r < 32; r++) workers[w].pattern[r] = (float)(w * 100 + r) + 0.5f;

  osKernelInitialize();
  const osThreadAttr_t worker_attr = {.name = "worker", .attr_bits = 0, .cb_mem = nullptr, .cb_size = 0,
                                      .stack_mem = nullptr, .stack_size = 2048, .priority = osPriorityNormal,
                                      .tz_module = 0, .reserved = 0};
  osThreadAttr_t attr = worker_attr;
  attr.name = "checker";
  checker_handle = osThreadNew(checker_task, nullptr, &attr);
  worker_handles[0] = osThreadNew(worker_task, &workers[0], &worker_attr);
  worker_handles[1] = osThreadNew(worker_task, &workers[1], &worker_attr);
  attr.name = "sleeper";
  attr.stack_size = 512;
  sleeper_handle = osThreadNew(sleeper_task, nullptr, &attr);
  if (checker_handle == nullptr || worker_handles[1] == nullptr || sleeper_handle == nullptr) {
    sh_write("kernel check: tasks not created\n");
    sh_exit(false);
  }
  osKernelStart();
  sh_write("kernel check: the kernel returned\n");
  sh_exit(false);
}
