#include "rtos.h"

#include <algorithm>

#include "machine_impl.h"

namespace host {

void Rtos::ReadyList::insert_end(Task* t) {
  items.insert(items.begin() + static_cast<std::ptrdiff_t>(index), t);
  ++index;
}

void Rtos::ReadyList::remove(Task* t) {
  auto it = std::find(items.begin(), items.end(), t);
  if (it == items.end()) return;
  const auto pos = static_cast<std::size_t>(it - items.begin());
  items.erase(it);
  // The kernel moves the index back to the previous entry when its entry goes.
  if (pos < index) {
    --index;
  } else if (pos == index) {
    index = (pos == 0 ? items.size() : pos) - 1;
  }
}

Rtos::Task* Rtos::ReadyList::next() {
  if (size() == 0) return nullptr;
  do {
    index = (index + 1) % items.size();
  } while (items[index] == nullptr);
  return items[index];
}

Rtos::Rtos(MachineImpl& m) : m_(m) {}

void Rtos::reset() {
  tasks_.clear();
  ready_.clear();
  current_ = nullptr;
  initialized_ = false;
  started_ = false;
  switch_pending_ = false;
  ticks_ = 0;
  heap_used_ = 0;
  switches_ = 0;
}

Rtos::ReadyList& Rtos::list(int priority) {
  for (auto& [p, l] : ready_)
    if (p == priority) return l;
  ready_.emplace_back(priority, ReadyList{});
  std::sort(ready_.begin(), ready_.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (auto& [p, l] : ready_)
    if (p == priority) return l;
  __builtin_unreachable();
}

osStatus_t Rtos::initialize() {
  if (m_.cpu.exception_depth != 0) return osErrorISR;
  m_.cpu.charge(cost::kKernelCall);
  if (started_) return osError;
  initialized_ = true;
  return osOK;
}

static std::uint32_t heap_block(std::uint32_t bytes) { return (bytes + 8 + 7) & ~7u; }

osThreadId_t Rtos::create(osThreadFunc_t fn, void* arg, const osThreadAttr_t* attr) {
  if (m_.cpu.exception_depth != 0 || fn == nullptr) return nullptr;
  m_.cpu.charge(cost::kKernelCall);
  const std::uint32_t stack = (attr != nullptr && attr->stack_size != 0) ? attr->stack_size : 512;
  int priority = (attr != nullptr && attr->priority != osPriorityNone) ? attr->priority : osPriorityNormal;
  if (priority < osPriorityIdle || priority > osPriorityISR) return nullptr;
  const std::uint32_t need = heap_block(stack) + heap_block(kTcbBytes);
  if (heap_used_ + need > kHeapBytes) return nullptr;
  heap_used_ += need;

  const std::size_t n = tasks_.size();
  if (pool_.size() <= n) pool_.push_back(std::make_unique<Task>(n));
  Task* t = pool_[n].get();
  t->name = (attr != nullptr && attr->name != nullptr) ? attr->name : "";
  t->ctx.name = t->name.c_str();
  t->fn = fn;
  t->arg = arg;
  t->priority = priority;
  t->stack_bytes = stack;
  t->state = eReady;
  t->wake_tick = 0;
  t->ctx.fiber.start(&Rtos::task_entry, t);
  tasks_.push_back(t);
  list(priority).insert_end(t);
  // Before the scheduler runs, the kernel makes the newest task of the
  // highest priority the one it starts with.
  if (!started_ && (current_ == nullptr || priority >= current_->priority)) current_ = t;
  return reinterpret_cast<osThreadId_t>(t);
}

osStatus_t Rtos::start() {
  if (m_.cpu.exception_depth != 0) return osErrorISR;
  if (!initialized_ || started_) return osError;
  m_.cpu.charge(cost::kKernelCall);
  // The idle task and the timer service task take their share of the heap.
  heap_used_ += heap_block(kIdleStackBytes) + heap_block(kTcbBytes);
  if (kTimerTaskStackBytes != 0) heap_used_ += heap_block(kTimerTaskStackBytes) + heap_block(kTcbBytes);
  if (!idle_) idle_ = std::make_unique<Context>(Cpu::kStackBytes, ContextKind::Idle, "idle");
  idle_->fiber.start(&Rtos::idle_entry, this);
  started_ = true;
  m_.nvic.set_priority(Nvic::kPendSV, configLIBRARY_LOWEST_INTERRUPT_PRIORITY);
  m_.nvic.set_priority(Nvic::kSysTick, configLIBRARY_LOWEST_INTERRUPT_PRIORITY);
  m_.nvic.set_kernel_handler(
      Nvic::kSysTick, [this] { tick(); }, "SysTick");
  // SysTick: the processor clock divided to the kernel's tick rate.
  m_.systick.write(SysTickTimer::LOAD, SystemCoreClock / configTICK_RATE_HZ - 1);
  m_.systick.write(SysTickTimer::VAL, 0);
  m_.systick.write(SysTickTimer::CTRL, 0x7);
  if (current_ == nullptr) m_.cpu.abandon_to(*idle_);
  m_.cpu.abandon_to(current_->ctx);
}

Rtos::Task* Rtos::from_handle(void* handle) const {
  if (handle == nullptr) return current_;
  for (Task* t : tasks_)
    if (t == handle) return t;
  return nullptr;
}

void Rtos::make_ready(Task* t) {
  t->state = eReady;
  list(t->priority).insert_end(t);
}

void Rtos::unready(Task* t) { list(t->priority).remove(t); }

void Rtos::request_switch() {
  switch_pending_ = true;
  m_.cpu.attention();
}

osStatus_t Rtos::delay(std::uint32_t ticks) {
  if (m_.cpu.exception_depth != 0) return osErrorISR;
  if (!started_ || current_ == nullptr) return osError;
  if (ticks != 0) {
    Task* t = current_;
    unready(t);
    t->state = eBlocked;
    t->wake_tick = ticks_ + ticks;
    request_switch();
  }
  m_.cpu.charge(cost::kKernelCall);
  return osOK;
}

void Rtos::suspend(Task* t) {
  m_.cpu.charge(cost::kKernelCall);
  if (t == nullptr || t->state == eSuspended || t->state == eDeleted) return;
  if (t->state == eReady) unready(t);
  t->state = eSuspended;
  if (t == current_) {
    request_switch();
    m_.cpu.charge(cost::kKernelCall);
  }
}

void Rtos::resume(Task* t) {
  m_.cpu.charge(cost::kKernelCall);
  if (t == nullptr || t->state != eSuspended || t == current_) return;
  make_ready(t);
  if (current_ == nullptr || t->priority > current_->priority) request_switch();
}

eTaskState Rtos::state(Task* t) const {
  if (t == nullptr) return eInvalid;
  if (t == current_ && t->state == eReady) return eRunning;
  return t->state;
}

void Rtos::tick() {
  ++ticks_;
  bool need = false;
  const int running_priority = current_ != nullptr ? current_->priority : 0;
  for (Task* t : tasks_) {
    if (t->state == eBlocked && static_cast<std::int32_t>(ticks_ - t->wake_tick) >= 0) {
      make_ready(t);
      if (t->priority >= running_priority) need = true;
    }
  }
  if (current_ == nullptr) {
    for (auto& [p, l] : ready_) need = need || l.size() != 0;
  } else if (configUSE_TIME_SLICING && current_->state == eReady && list(current_->priority).size() > 1) {
    need = true;  // time slicing among tasks of equal priority
  }
  if (need) request_switch();
}

Rtos::Task* Rtos::select() {
  for (auto& [p, l] : ready_)
    if (l.size() != 0) return l.next();
  return nullptr;
}

void Rtos::switch_now() {
  switch_pending_ = false;
  Task* next = select();
  Context& ctx = next != nullptr ? next->ctx : *idle_;
  current_ = next;
  if (&ctx == m_.cpu.current()) return;
  ++switches_;
  m_.cpu.switch_to(ctx);
}

void Rtos::task_entry(void* arg) {
  auto* t = static_cast<Task*>(arg);
  t->fn(t->arg);
  // A task function must not return; the kernel would stop in its error trap.
  impl().fault(std::string("task ") + t->name + " returned from its function");
}

void Rtos::idle_entry(void* arg) {
  auto* self = static_cast<Rtos*>(arg);
  for (;;) self->m_.cpu.idle();
}

}  // namespace host
