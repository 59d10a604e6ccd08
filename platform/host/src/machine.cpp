#include "host/machine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "machine_impl.h"

namespace host {

MachineImpl* g_impl = nullptr;

namespace {

struct VectorEntry {
  int irq;
  const char* name;
};

// The vector table: interrupt numbers and the names of their handlers.
constexpr VectorEntry kVectors[] = {
    {NonMaskableInt_IRQn, "NMI_Handler"},
    {HardFault_IRQn, "HardFault_Handler"},
    {MemoryManagement_IRQn, "MemManage_Handler"},
    {BusFault_IRQn, "BusFault_Handler"},
    {UsageFault_IRQn, "UsageFault_Handler"},
    {DebugMonitor_IRQn, "DebugMon_Handler"},
    {EXTI0_IRQn, "EXTI0_IRQHandler"},
    {EXTI1_IRQn, "EXTI1_IRQHandler"},
    {EXTI2_IRQn, "EXTI2_IRQHandler"},
    {EXTI3_IRQn, "EXTI3_IRQHandler"},
    {EXTI4_IRQn, "EXTI4_IRQHandler"},
    {ADC_IRQn, "ADC_IRQHandler"},
    {EXTI9_5_IRQn, "EXTI9_5_IRQHandler"},
    {TIM1_UP_TIM10_IRQn, "TIM1_UP_TIM10_IRQHandler"},
    {TIM2_IRQn, "TIM2_IRQHandler"},
    {TIM3_IRQn, "TIM3_IRQHandler"},
    {TIM4_IRQn, "TIM4_IRQHandler"},
    {I2C1_EV_IRQn, "I2C1_EV_IRQHandler"},
    {I2C1_ER_IRQn, "I2C1_ER_IRQHandler"},
    {SPI1_IRQn, "SPI1_IRQHandler"},
    {EXTI15_10_IRQn, "EXTI15_10_IRQHandler"},
    {TIM5_IRQn, "TIM5_IRQHandler"},
    {DMA2_Stream5_IRQn, "DMA2_Stream5_IRQHandler"},
};

template <typename F>
F hook(FirmwareImage& fw, const char* name) {
  return reinterpret_cast<F>(fw.symbol(name));
}

void boot_entry(void* arg) {
  auto* m = static_cast<MachineImpl*>(arg);
  if (m->hooks.main == nullptr) m->fault("the firmware image has no main()");
  m->hooks.main();
  m->fault("main() returned");
}

}  // namespace

void no_machine_running() {
  std::fprintf(stderr, "host: the firmware called the platform with no machine running\n");
  std::abort();
}

MachineImpl::MachineImpl(Machine& o, FirmwareImage& fw)
    : owner(o),
      firmware(fw),
      cpu(*this),
      nvic(*this),
      rtos(*this),
      rcc(*this),
      exti(*this),
      systick(*this),
      cycles(*this),
      adc(*this),
      i2c1(*this, i2c_bus),
      spi1(*this, spi_port) {
  events.set_schedule_hook([](void* cpu, Time t) { static_cast<Cpu*>(cpu)->event_scheduled(t); }, &cpu);
  gpio.set_exti(&exti);
  // The clock the GPIO model stamps pin changes with.
  static_assert(sizeof(Time) == 8);
  timers.resize(12);
  timers[1] = std::make_unique<Timer>(*this, 1, 16, TIM1_UP_TIM10_IRQn);
  timers[2] = std::make_unique<Timer>(*this, 2, 32, TIM2_IRQn);
  timers[3] = std::make_unique<Timer>(*this, 3, 16, TIM3_IRQn);
  timers[4] = std::make_unique<Timer>(*this, 4, 16, TIM4_IRQn);
  timers[5] = std::make_unique<Timer>(*this, 5, 32, TIM5_IRQn);

  hooks.main = hook<int (*)()>(fw, "main");
  hooks.msp_init = hook<void (*)()>(fw, "HAL_MspInit");
  hooks.init_tick = hook<HAL_StatusTypeDef (*)(std::uint32_t)>(fw, "HAL_InitTick");
  hooks.gpio_exti_callback = hook<void (*)(std::uint16_t)>(fw, "HAL_GPIO_EXTI_Callback");
  hooks.tim_period_elapsed = hook<void (*)(TIM_HandleTypeDef*)>(fw, "HAL_TIM_PeriodElapsedCallback");
  hooks.tim_base_msp_init = hook<void (*)(TIM_HandleTypeDef*)>(fw, "HAL_TIM_Base_MspInit");
  hooks.adc_msp_init = hook<void (*)(ADC_HandleTypeDef*)>(fw, "HAL_ADC_MspInit");
  hooks.i2c_msp_init = hook<void (*)(I2C_HandleTypeDef*)>(fw, "HAL_I2C_MspInit");
  hooks.spi_msp_init = hook<void (*)(SPI_HandleTypeDef*)>(fw, "HAL_SPI_MspInit");
  hooks.spi_tx_complete = hook<void (*)(SPI_HandleTypeDef*)>(fw, "HAL_SPI_TxCpltCallback");
  hooks.spi_error = hook<void (*)(SPI_HandleTypeDef*)>(fw, "HAL_SPI_ErrorCallback");
}

MachineImpl::~MachineImpl() = default;

bool MachineImpl::syscfg_clock() const { return rcc.enabled(Rcc::APB2ENR, RCC_APB2ENR_SYSCFGEN); }

Timer* MachineImpl::timer_of(const TIM_TypeDef* instance) {
  for (std::size_t n = 0; n < timers.size(); ++n)
    if (timers[n] && instance == &host_tim_blocks[n]) return timers[n].get();
  return nullptr;
}

std::string MachineImpl::context_name() const {
  if (!cpu.running()) return "off";
  const std::uint32_t e = nvic.active_exception();
  if (e != 0) return nvic.name(static_cast<int>(e));
  return cpu.current() != nullptr ? cpu.current()->name : "";
}

void MachineImpl::reset_peripherals() {
  i2c1.cut();
  rcc.reset();
  gpio.reset_registers();
  exti.reset();
  syscfg_memrmp = syscfg_pmc = syscfg_cmpcr = 0;
  for (auto& t : timers)
    if (t) t->reset();
  systick.reset();
  cycles.reset();
  adc.reset();
  i2c1.reset();
  spi1.reset();
  flash_acr = 0;
  pwr_cr = 0x00004000;
  uwTickPrio = 16;
  nvic.reset();
  rtos.reset();
  // Handlers of the vector table, looked up in the image.
  for (const VectorEntry& v : kVectors) {
    const int e = Nvic::exception_of_irq(v.irq);
    nvic.set_handler(e, hook<Nvic::Handler>(firmware, v.name), v.name);
  }
  nvic.set_handler(Nvic::kSysTick, nullptr, "SysTick");
  for (int n : {1, 2, 3, 4, 5}) {
    Timer* t = timers[static_cast<std::size_t>(n)].get();
    nvic.set_source(t->exception(), [t] { return t->asserted(); });
  }
  for (int irq : {EXTI0_IRQn, EXTI1_IRQn, EXTI2_IRQn, EXTI3_IRQn, EXTI4_IRQn, EXTI9_5_IRQn, EXTI15_10_IRQn}) {
    const int e = Nvic::exception_of_irq(irq);
    nvic.set_source(e, [this, e] { return exti.asserted(e); });
  }
  nvic.set_source(Nvic::exception_of_irq(DMA2_Stream5_IRQn), [this] { return spi1.dma_asserted(); });
}

void MachineImpl::boot() {
  firmware.restore_reset_state();
  reset_peripherals();
  ++boots;
  fault_message.clear();
  cpu.boot(&boot_entry, this);
}

void MachineImpl::power_lost() {
  cpu.halt();
  i2c1.cut();
  for (auto& t : timers)
    if (t) t->stop_all();
  systick.reset();
  spi1.reset();
  gpio.unpowered();
}

void MachineImpl::set_powered(bool on) {
  if (on == powered) return;
  powered = on;
  const Time t = cpu.now();
  if (on) {
    for (PowerListener* l : power_listeners) l->on_power(t, true);
    if (cpu.in_firmware()) {
      reset_pending = true;  // cannot happen from firmware; kept safe
    } else {
      boot();
    }
  } else {
    power_lost();
    for (PowerListener* l : power_listeners) l->on_power(t, false);
  }
}

void MachineImpl::request_reset() {
  reset_pending = true;
  i2c1.cut();
  cpu.halt_now();
}

void MachineImpl::fault(const std::string& what) {
  if (fault_message.empty()) {
    fault_message = what;
    std::fprintf(stderr, "host: firmware fault at %.6f s: %s\n", to_seconds(cpu.now()), what.c_str());
  }
  if (cpu.in_firmware()) cpu.halt_now();
  cpu.halt();
}

// ---------------------------------------------------------------- Machine

Machine::Machine(FirmwareImage& firmware) {
  if (g_impl != nullptr) {
    std::fprintf(stderr, "host: only one machine may exist at a time\n");
    std::abort();
  }
  impl_ = std::make_unique<MachineImpl>(*this, firmware);
  g_impl = impl_.get();
  impl_->gpio.set_clock(&impl_->cpu.now_ref());
  impl_->gpio.unpowered();
}

Machine::~Machine() { g_impl = nullptr; }

Machine& Machine::current() { return host::impl().owner; }
bool Machine::exists() { return g_impl != nullptr; }
Time Machine::now() const { return impl_->cpu.now(); }
void Machine::run_until(Time t) { impl_->cpu.run_until(t); }
EventQueue& Machine::events() { return impl_->events; }
Gpio& Machine::gpio() { return impl_->gpio; }
I2cBus& Machine::i2c1() { return impl_->i2c_bus; }
SpiPort& Machine::spi1() { return impl_->spi_port; }
AdcPort& Machine::adc1() { return impl_->adc_port; }
void Machine::set_powered(bool on) { impl_->set_powered(on); }
bool Machine::powered() const { return impl_->powered; }
void Machine::add_power_listener(PowerListener* l) { impl_->power_listeners.push_back(l); }
void Machine::remove_power_listener(PowerListener* l) {
  auto& v = impl_->power_listeners;
  v.erase(std::remove(v.begin(), v.end(), l), v.end());
}
std::string Machine::context_name() const { return impl_->context_name(); }
std::string Machine::task_name() const {
  if (!impl_->cpu.running() || impl_->cpu.current() == nullptr) return "";
  return impl_->cpu.current()->name;
}
FirmwareImage& Machine::firmware() { return impl_->firmware; }
std::uint32_t Machine::kernel_ticks() const { return impl_->rtos.ticks(); }

MachineStats Machine::stats() const {
  MachineStats s;
  s.events = impl_->events_fired;
  s.interrupts = impl_->nvic.taken();
  s.task_switches = impl_->rtos.switches();
  s.fast_forwards = impl_->cpu.fast_forwards;
  s.fast_forwarded = impl_->cpu.fast_forwarded;
  s.idle = impl_->cpu.idle_time;
  s.boots = impl_->boots;
  return s;
}

}  // namespace host
