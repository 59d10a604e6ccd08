// The RTOS kernel of the host build: tasks of fixed priority with time
// slicing at the 1 ms kernel tick, delays, suspend and resume, and the idle
// task, scheduled the way the firmware's kernel configuration does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cmsis_os2.h"
#include "cpu.h"
#include "task.h"

namespace host {

struct MachineImpl;

class Rtos {
 public:
  // Sizes from the firmware's kernel configuration.
  static constexpr std::uint32_t kHeapBytes = configTOTAL_HEAP_SIZE;
  static constexpr std::uint32_t kTcbBytes = 96;
  static constexpr std::uint32_t kIdleStackBytes = configMINIMAL_STACK_SIZE * 4;
  static constexpr std::uint32_t kTimerTaskStackBytes = configUSE_TIMERS ? configTIMER_TASK_STACK_DEPTH * 4 : 0;

  struct Task {
    explicit Task(std::size_t n) : ctx(Cpu::kStackBytes, ContextKind::Task, "") { (void)n; }
    Context ctx;
    std::string name;
    osThreadFunc_t fn = nullptr;
    void* arg = nullptr;
    int priority = 0;
    std::uint32_t stack_bytes = 0;
    eTaskState state = eInvalid;
    std::uint32_t wake_tick = 0;
  };

  explicit Rtos(MachineImpl& m);

  void reset();
  osStatus_t initialize();
  osThreadId_t create(osThreadFunc_t fn, void* arg, const osThreadAttr_t* attr);
  osStatus_t start();
  osStatus_t delay(std::uint32_t ticks);
  void suspend(Task* t);
  void resume(Task* t);
  eTaskState state(Task* t) const;
  Task* from_handle(void* handle) const;

  // SysTick exception: the kernel tick.
  void tick();
  bool switch_pending() const { return switch_pending_; }
  void switch_now();

  bool started() const { return started_; }
  std::uint32_t ticks() const { return ticks_; }
  Task* current() const { return current_; }
  std::uint64_t switches() const { return switches_; }
  std::uint32_t heap_used() const { return heap_used_; }

 private:
  // A ready list per priority with a round-robin index, as the kernel keeps
  // it: a new entry goes in just before the index (last in the turn), and
  // the next task is the one after the index.
  struct ReadyList {
    std::vector<Task*> items{nullptr};  // nullptr is the list's end marker
    std::size_t index = 0;
    void insert_end(Task* t);
    void remove(Task* t);
    Task* next();
    std::size_t size() const { return items.size() - 1; }
  };

  ReadyList& list(int priority);
  void make_ready(Task* t);
  void unready(Task* t);
  Task* select();
  void request_switch();
  static void task_entry(void* arg);
  static void idle_entry(void* arg);

  MachineImpl& m_;
  std::vector<std::unique_ptr<Task>> pool_;  // storage kept across boots
  std::vector<Task*> tasks_;                 // tasks of this boot, in creation order
  std::vector<std::pair<int, ReadyList>> ready_;
  std::unique_ptr<Context> idle_;
  Task* current_ = nullptr;
  bool initialized_ = false;
  bool started_ = false;
  bool switch_pending_ = false;
  std::uint32_t ticks_ = 0;
  std::uint32_t heap_used_ = 0;
  std::uint64_t switches_ = 0;
};

}  // namespace host
