#include "nvic.h"

#include "machine_impl.h"

namespace host {

Nvic::Nvic(MachineImpl& m) : m_(m) {}

void Nvic::reset() {
  priority_.fill(0);
  enabled_.fill(false);
  pending_bits_.fill(0);
  depth_ = 0;
  primask_ = false;
  // System exceptions are always enabled; their fixed priorities come first.
  for (int e = 1; e < 16; ++e) enabled_[e] = true;
}

void Nvic::set_priority(int exception, std::uint8_t priority) { priority_[exception] = priority & 0x0F; }

void Nvic::enable(int exception, bool on) {
  enabled_[exception] = on;
  if (on && pending(exception)) m_.cpu.attention();
}

void Nvic::set_pending(int exception) {
  pending_bits_[exception >> 6] |= 1ull << (exception & 63);
  m_.cpu.attention();
}

bool Nvic::pending(int exception) const { return (pending_bits_[exception >> 6] >> (exception & 63)) & 1u; }

void Nvic::set_handler(int exception, Handler handler, std::string name) {
  handler_[exception] = handler;
  names_[exception] = std::move(name);
}

void Nvic::set_kernel_handler(int exception, std::function<void()> handler, std::string name) {
  kernel_handler_[exception] = std::move(handler);
  names_[exception] = std::move(name);
}

void Nvic::set_primask(bool masked) {
  primask_ = masked;
  if (!masked) m_.cpu.attention();
}

int Nvic::execution_priority() const {
  if (primask_) return 0;
  int p = 256;
  for (int i = 0; i < depth_; ++i) {
    const int e = active_[i];
    const int q = e < 4 ? -1 : priority_[e];  // NMI and hard fault are above every priority
    if (q < p) p = q;
  }
  return p;
}

int Nvic::best_pending() const {
  int best = -1;
  int best_priority = 256;
  for (int word = 0; word < 2; ++word) {
    std::uint64_t bits = pending_bits_[word];
    while (bits != 0) {
      const int e = word * 64 + __builtin_ctzll(bits);
      bits &= bits - 1;
      if (!enabled_[e]) continue;
      if (priority_[e] < best_priority) {
        best_priority = priority_[e];
        best = e;
      }
    }
  }
  return best;
}

void Nvic::deliver() {
  while ((pending_bits_[0] | pending_bits_[1]) != 0) {
    const int e = best_pending();
    if (e < 0 || priority_[e] >= execution_priority()) return;
    take(e);
  }
}

void Nvic::take(int e) {
  pending_bits_[e >> 6] &= ~(1ull << (e & 63));
  active_[depth_++] = e;
  ++m_.cpu.exception_depth;
  ++taken_;
  m_.cpu.charge(cost::kExceptionEntry);
  if (kernel_handler_[e]) {
    kernel_handler_[e]();
  } else if (handler_[e] != nullptr) {
    handler_[e]();
  } else {
    m_.fault("exception " + std::to_string(e) + " has no handler (the chip would loop in its default handler)");
  }
  m_.cpu.charge(cost::kExceptionExit);
  --depth_;
  --m_.cpu.exception_depth;
  if (source_[e] && source_[e]()) set_pending(e);
}

}  // namespace host
