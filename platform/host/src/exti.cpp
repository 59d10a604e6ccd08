#include "exti.h"

#include "machine_impl.h"

namespace host {

void Exti::reset() {
  regs_ = {};
  exticr_ = {};
  update_watched();
}

void Exti::update_watched() {
  watched_ = {};
  for (unsigned line = 0; line < 16; ++line) {
    if ((regs_[IMR] >> line) & 1u) {
      const unsigned port = (exticr_[line / 4] >> (4 * (line % 4))) & 0xFu;
      if (port < watched_.size()) watched_[port] |= 1u << line;
    }
  }
}

std::uint32_t Exti::read(unsigned reg) const { return reg < kRegCount ? regs_[reg] : 0; }

void Exti::write(unsigned reg, std::uint32_t value) {
  if (reg >= kRegCount) return;
  value &= 0x007FFFFFu;
  if (reg == PR) {
    regs_[PR] &= ~value;  // write 1 to clear
  } else if (reg == SWIER) {
    const std::uint32_t rise = value & ~regs_[SWIER] & regs_[IMR];
    regs_[SWIER] = value;
    if (rise != 0) {
      regs_[PR] |= rise;
      for (unsigned line = 0; line < 23; ++line)
        if (rise & (1u << line)) {
          const int e = exception_of_line(line);
          if (e >= 0) m_.nvic.set_pending(e);
        }
    }
  } else {
    regs_[reg] = value;
    if (reg == IMR) update_watched();
  }
}

void Exti::write_exticr(unsigned n, std::uint32_t value) {
  if (n < 4 && m_.syscfg_clock()) {
    exticr_[n] = value & 0xFFFFu;
    update_watched();
  }
}

void Exti::on_edge(PinId pin, bool rising) {
  const unsigned line = pin.pin;
  const unsigned selected = (exticr_[line / 4] >> (4 * (line % 4))) & 0xFu;
  if (selected != pin.port) return;
  const std::uint32_t bit = 1u << line;
  if ((regs_[IMR] & bit) == 0) return;
  if (!(rising ? (regs_[RTSR] & bit) : (regs_[FTSR] & bit))) return;
  regs_[PR] |= bit;
  m_.nvic.set_pending(exception_of_line(line));
}

int Exti::exception_of_line(unsigned line) {
  if (line <= 4) return Nvic::exception_of_irq(EXTI0_IRQn + static_cast<int>(line));
  if (line <= 9) return Nvic::exception_of_irq(EXTI9_5_IRQn);
  if (line <= 15) return Nvic::exception_of_irq(EXTI15_10_IRQn);
  return -1;
}

std::uint32_t Exti::lines_of(int exception) {
  const int irq = exception - 16;
  if (irq >= EXTI0_IRQn && irq <= EXTI4_IRQn) return 1u << (irq - EXTI0_IRQn);
  if (irq == EXTI9_5_IRQn) return 0x03E0u;
  if (irq == EXTI15_10_IRQn) return 0xFC00u;
  return 0;
}

bool Exti::asserted(int exception) const { return (regs_[PR] & regs_[IMR] & lines_of(exception)) != 0; }

}  // namespace host
