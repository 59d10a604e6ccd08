// The register blocks the firmware reaches through the device header, and the
// routing of each register access to its peripheral model.
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "machine_impl.h"

using host::Block;
using host::register_id;

namespace {

template <typename T, std::size_t... I>
constexpr T make_block(Block b, unsigned instance, std::index_sequence<I...>) {
  return T{HwReg(register_id(b, instance, I))...};
}

template <std::size_t N, typename T>
constexpr T block(Block b, unsigned instance) {
  return make_block<T>(b, instance, std::make_index_sequence<N>{});
}

constexpr GPIO_TypeDef gpio_regs(unsigned port) {
  return GPIO_TypeDef{HwReg(register_id(Block::Gpio, port, 0)),
                      HwReg(register_id(Block::Gpio, port, 1)),
                      HwReg(register_id(Block::Gpio, port, 2)),
                      HwReg(register_id(Block::Gpio, port, 3)),
                      HwReg(register_id(Block::Gpio, port, 4)),
                      HwReg(register_id(Block::Gpio, port, 5)),
                      HwReg(register_id(Block::Gpio, port, 6)),
                      HwReg(register_id(Block::Gpio, port, 7)),
                      {HwReg(register_id(Block::Gpio, port, 8)), HwReg(register_id(Block::Gpio, port, 9))}};
}

constexpr HostGpioBlock gpio_block(unsigned port) { return HostGpioBlock{gpio_regs(port), {}}; }

constexpr SYSCFG_TypeDef syscfg_regs() {
  return SYSCFG_TypeDef{HwReg(register_id(Block::Syscfg, 0, 0)),
                        HwReg(register_id(Block::Syscfg, 0, 1)),
                        {HwReg(register_id(Block::Syscfg, 0, 2)), HwReg(register_id(Block::Syscfg, 0, 3)),
                         HwReg(register_id(Block::Syscfg, 0, 4)), HwReg(register_id(Block::Syscfg, 0, 5))},
                        HwReg(register_id(Block::Syscfg, 0, 6))};
}

}  // namespace

constinit HostGpioBlock host_gpio_blocks[8] = {gpio_block(0), gpio_block(1), gpio_block(2), gpio_block(3),
                                               gpio_block(4), gpio_block(5), gpio_block(6), gpio_block(7)};
constinit TIM_TypeDef host_tim_blocks[12] = {
    block<21, TIM_TypeDef>(Block::Tim, 0),  block<21, TIM_TypeDef>(Block::Tim, 1),
    block<21, TIM_TypeDef>(Block::Tim, 2),  block<21, TIM_TypeDef>(Block::Tim, 3),
    block<21, TIM_TypeDef>(Block::Tim, 4),  block<21, TIM_TypeDef>(Block::Tim, 5),
    block<21, TIM_TypeDef>(Block::Tim, 6),  block<21, TIM_TypeDef>(Block::Tim, 7),
    block<21, TIM_TypeDef>(Block::Tim, 8),  block<21, TIM_TypeDef>(Block::Tim, 9),
    block<21, TIM_TypeDef>(Block::Tim, 10), block<21, TIM_TypeDef>(Block::Tim, 11)};
constinit RCC_TypeDef host_rcc_block = block<21, RCC_TypeDef>(Block::Rcc, 0);
constinit EXTI_TypeDef host_exti_block = block<6, EXTI_TypeDef>(Block::Exti, 0);
constinit SYSCFG_TypeDef host_syscfg_block = syscfg_regs();
constinit ADC_TypeDef host_adc1_block = block<20, ADC_TypeDef>(Block::Adc, 0);
constinit I2C_TypeDef host_i2c_blocks[3] = {block<10, I2C_TypeDef>(Block::I2c, 0),
                                            block<10, I2C_TypeDef>(Block::I2c, 1),
                                            block<10, I2C_TypeDef>(Block::I2c, 2)};
constinit SPI_TypeDef host_spi_blocks[5] = {block<9, SPI_TypeDef>(Block::Spi, 0), block<9, SPI_TypeDef>(Block::Spi, 1),
                                            block<9, SPI_TypeDef>(Block::Spi, 2), block<9, SPI_TypeDef>(Block::Spi, 3),
                                            block<9, SPI_TypeDef>(Block::Spi, 4)};
constinit DMA_Stream_TypeDef host_dma_stream_blocks[16] = {
    block<6, DMA_Stream_TypeDef>(Block::DmaStream, 0),  block<6, DMA_Stream_TypeDef>(Block::DmaStream, 1),
    block<6, DMA_Stream_TypeDef>(Block::DmaStream, 2),  block<6, DMA_Stream_TypeDef>(Block::DmaStream, 3),
    block<6, DMA_Stream_TypeDef>(Block::DmaStream, 4),  block<6, DMA_Stream_TypeDef>(Block::DmaStream, 5),
    block<6, DMA_Stream_TypeDef>(Block::DmaStream, 6),  block<6, DMA_Stream_TypeDef>(Block::DmaStream, 7),
    block<6, DMA_Stream_TypeDef>(Block::DmaStream, 8),  block<6, DMA_Stream_TypeDef>(Block::DmaStream, 9),
    block<6, DMA_Stream_TypeDef>(Block::DmaStream, 10), block<6, DMA_Stream_TypeDef>(Block::DmaStream, 11),
    block<6, DMA_Stream_TypeDef>(Block::DmaStream, 12), block<6, DMA_Stream_TypeDef>(Block::DmaStream, 13),
    block<6, DMA_Stream_TypeDef>(Block::DmaStream, 14), block<6, DMA_Stream_TypeDef>(Block::DmaStream, 15)};
constinit FLASH_TypeDef host_flash_block = block<6, FLASH_TypeDef>(Block::Flash, 0);
constinit PWR_TypeDef host_pwr_block = block<2, PWR_TypeDef>(Block::Pwr, 0);
constinit DWT_Type host_dwt_block = block<8, DWT_Type>(Block::Dwt, 0);
constinit CoreDebug_Type host_coredebug_block = block<4, CoreDebug_Type>(Block::Debug, 0);
constinit SysTick_Type host_systick_block = block<4, SysTick_Type>(Block::Systick, 0);

namespace host {
namespace {

// Registers whose value depends on the moment they are read: a loop reading
// them is timing itself, not polling, and is charged as a timing loop
// (Cpu::charge_timed_read) instead of being fast-forwarded.
bool time_dependent(Block b, unsigned index) {
  return (b == Block::Tim && index == Timer::CNT) || (b == Block::Dwt && index == CycleCounter::CYCCNT) ||
         (b == Block::Systick && (index == SysTickTimer::CTRL || index == SysTickTimer::VAL));
}

bool timer_clocked(MachineImpl& m, unsigned n) {
  switch (n) {
    case 1:
      return m.rcc.enabled(Rcc::APB2ENR, RCC_APB2ENR_TIM1EN);
    case 2:
      return m.rcc.enabled(Rcc::APB1ENR, RCC_APB1ENR_TIM2EN);
    case 3:
      return m.rcc.enabled(Rcc::APB1ENR, RCC_APB1ENR_TIM3EN);
    case 4:
      return m.rcc.enabled(Rcc::APB1ENR, RCC_APB1ENR_TIM4EN);
    case 5:
      return m.rcc.enabled(Rcc::APB1ENR, RCC_APB1ENR_TIM5EN);
    default:
      return false;
  }
}

[[noreturn]] void no_machine() {
  std::fprintf(stderr, "host: firmware touched a register with no machine running\n");
  std::abort();
}

}  // namespace
}  // namespace host

namespace host {
namespace {
[[gnu::noinline]] std::uint32_t read_register(MachineImpl& m, std::uint32_t id);
}  // namespace
}  // namespace host

extern "C" std::uint32_t host_register_read(std::uint32_t id) {
  using namespace host;
  if (g_impl == nullptr) [[unlikely]]
    no_machine();
  MachineImpl& m = *g_impl;
  // The cycle counter first, in as few instructions as may be: the 1-Wire
  // delays read it in tight loops.
  if (id == register_id(Block::Dwt, 0, CycleCounter::CYCCNT)) [[likely]] {
    m.cpu.charge_timed_read();
    return m.cycles.read_dwt(CycleCounter::CYCCNT);
  }
  return read_register(m, id);
}

namespace host {
namespace {
std::uint32_t read_register(MachineImpl& m, std::uint32_t id) {
  const Block b = register_block(id);
  const unsigned inst = register_instance(id);
  const unsigned idx = register_index(id);
  if (time_dependent(b, idx)) {
    m.cpu.charge_timed_read();
  } else {
    m.cpu.charge_poll(cost::kRegister);
  }
  switch (b) {
    case Block::Gpio: {
      const auto reg = idx == 8 ? Gpio::AFRL : idx == 9 ? Gpio::AFRH : static_cast<Gpio::Reg>(idx);
      return m.gpio.read(static_cast<int>(inst), reg);
    }
    case Block::Tim: {
      Timer* t = inst < m.timers.size() ? m.timers[inst].get() : nullptr;
      return (t != nullptr && timer_clocked(m, inst)) ? t->read(idx) : 0;
    }
    case Block::Rcc:
      return m.rcc.read(idx);
    case Block::Exti:
      return m.exti.read(idx);
    case Block::Syscfg:
      if (idx >= 2 && idx <= 5) return m.exti.read_exticr(idx - 2);
      return idx == 0 ? m.syscfg_memrmp : idx == 1 ? m.syscfg_pmc : m.syscfg_cmpcr;
    case Block::Dwt:
      return m.cycles.read_dwt(idx);
    case Block::Debug:
      return idx == 3 ? m.cycles.read_demcr() : 0;
    case Block::Systick:
      return m.systick.read(idx);
    case Block::Flash:
      return idx == 0 ? m.flash_acr : 0;
    case Block::Pwr:
      return idx == 0 ? m.pwr_cr : 0x00004000u;  // CSR: regulator ready
    default:
      return 0;  // blocks driven through the HAL only
  }
}
}  // namespace
}  // namespace host

extern "C" void host_register_write(std::uint32_t id, std::uint32_t value) {
  using namespace host;
  if (g_impl == nullptr) [[unlikely]]
    no_machine();
  MachineImpl& m = *g_impl;
  m.cpu.charge(cost::kRegister);
  const Block b = register_block(id);
  const unsigned inst = register_instance(id);
  const unsigned idx = register_index(id);
  switch (b) {
    case Block::Gpio: {
      const auto reg = idx == 8 ? Gpio::AFRL : idx == 9 ? Gpio::AFRH : static_cast<Gpio::Reg>(idx);
      m.gpio.write(static_cast<int>(inst), reg, value);
      break;
    }
    case Block::Tim: {
      Timer* t = inst < m.timers.size() ? m.timers[inst].get() : nullptr;
      if (t != nullptr && timer_clocked(m, inst)) t->write(idx, value);
      break;
    }
    case Block::Rcc:
      m.rcc.write(idx, value);
      break;
    case Block::Exti:
      m.exti.write(idx, value);
      break;
    case Block::Syscfg:
      if (!m.syscfg_clock()) break;
      if (idx >= 2 && idx <= 5) {
        m.exti.write_exticr(idx - 2, value);
      } else if (idx == 0) {
        m.syscfg_memrmp = value;
      } else if (idx == 1) {
        m.syscfg_pmc = value;
      } else {
        m.syscfg_cmpcr = value;
      }
      break;
    case Block::Dwt:
      m.cycles.write_dwt(idx, value);
      break;
    case Block::Debug:
      if (idx == 3) m.cycles.write_demcr(value);
      break;
    case Block::Systick:
      m.systick.write(idx, value);
      break;
    case Block::Flash:
      if (idx == 0) m.flash_acr = value;
      break;
    case Block::Pwr:
      if (idx == 0) m.pwr_cr = value;
      break;
    default:
      break;
  }
}
