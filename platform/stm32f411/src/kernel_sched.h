// The scheduler's bookkeeping, free of any hardware: which task runs, the
// ready lists, delays, suspension and time slicing. The chip's kernel calls
// it from its exceptions and API; the host tests it directly.
//
// Ready lists are kept per priority with a round-robin index: a task made
// ready goes in just before the index (last in the current turn), and the
// next task to run is the one after the index. The running task stays in its
// list while it runs. No task running (`current` null) means the idle task.
#pragma once

#include <stdint.h>

#include "FreeRTOSConfig.h"
#include "task.h"

#define KP_MAX_TASKS 8

struct kp_task;

struct kp_list_item {
  kp_list_item* next;
  kp_list_item* prev;
  kp_task* owner;  // null for a list's end marker
};

struct kp_ready_list {
  kp_list_item end;
  kp_list_item* index;
  uint32_t count;
};

struct kp_task {
  uint32_t* sp;  // saved stack pointer; first, the switch code reads it here
  kp_list_item link;
  uint32_t wake_tick;
  eTaskState state;
  uint32_t priority;
  const char* name;
  void* port;  // what the platform keeps per task (the C library's state)
};

struct kp_scheduler {
  kp_ready_list ready[configMAX_PRIORITIES];
  kp_task* tasks[KP_MAX_TASKS];  // in creation order
  uint32_t task_count;
  kp_task* current;
  uint32_t ticks;
  bool started;
};

void kp_sched_init(kp_scheduler* s);
// Adds a ready task (priority below configMAX_PRIORITIES). Before the start,
// the newest task of the highest priority becomes the one that runs first.
bool kp_sched_add(kp_scheduler* s, kp_task* t, uint32_t priority, const char* name);
void kp_sched_start(kp_scheduler* s);

// Each returns true when another task should run now.
bool kp_sched_tick(kp_scheduler* s);
bool kp_sched_delay(kp_scheduler* s, uint32_t ticks);
bool kp_sched_suspend(kp_scheduler* s, kp_task* t);
bool kp_sched_resume(kp_scheduler* s, kp_task* t);

// Picks the task to run next and makes it current (null: the idle task).
kp_task* kp_sched_select(kp_scheduler* s);
eTaskState kp_sched_state(const kp_scheduler* s, const kp_task* t);
bool kp_sched_is_task(const kp_scheduler* s, const kp_task* t);
