#include "kernel_sched.h"

#include <string.h>

static void list_init(kp_ready_list* l) {
  l->end.next = &l->end;
  l->end.prev = &l->end;
  l->end.owner = nullptr;
  l->index = &l->end;
  l->count = 0;
}

static void list_insert_end(kp_ready_list* l, kp_list_item* it) {
  kp_list_item* at = l->index;
  it->next = at;
  it->prev = at->prev;
  at->prev->next = it;
  at->prev = it;
  l->count++;
}

static void list_remove(kp_ready_list* l, kp_list_item* it) {
  if (l->index == it) l->index = it->prev;
  it->prev->next = it->next;
  it->next->prev = it->prev;
  it->next = it->prev = nullptr;
  l->count--;
}

static kp_task* list_next(kp_ready_list* l) {
  if (l->count == 0) return nullptr;
  do {
    l->index = l->index->next;
  } while (l->index->owner == nullptr);
  return l->index->owner;
}

static void make_ready(kp_scheduler* s, kp_task* t) {
  t->state = eReady;
  list_insert_end(&s->ready[t->priority], &t->link);
}

static void unready(kp_scheduler* s, kp_task* t) { list_remove(&s->ready[t->priority], &t->link); }

void kp_sched_init(kp_scheduler* s) {
  memset(s, 0, sizeof *s);
  for (kp_ready_list& l : s->ready) list_init(&l);
}

bool kp_sched_add(kp_scheduler* s, kp_task* t, uint32_t priority, const char* name) {
  if (s->task_count == KP_MAX_TASKS || priority >= configMAX_PRIORITIES) return false;
  t->priority = priority;
  t->name = name;
  t->wake_tick = 0;
  t->link.owner = t;
  s->tasks[s->task_count++] = t;
  make_ready(s, t);
  if (!s->started && (s->current == nullptr || priority >= s->current->priority)) s->current = t;
  return true;
}

void kp_sched_start(kp_scheduler* s) { s->started = true; }

bool kp_sched_tick(kp_scheduler* s) {
  s->ticks++;
  bool need = false;
  const uint32_t running_priority = s->current != nullptr ? s->current->priority : 0;
  for (uint32_t i = 0; i < s->task_count; i++) {
    kp_task* t = s->tasks[i];
    if (t->state == eBlocked && (int32_t)(s->ticks - t->wake_tick) >= 0) {
      make_ready(s, t);
      if (t->priority >= running_priority) need = true;
    }
  }
  if (s->current == nullptr) {
    for (const kp_ready_list& l : s->ready) need = need || l.count != 0;
  } else if (configUSE_TIME_SLICING && s->current->state == eReady && s->ready[s->current->priority].count > 1) {
    need = true;  // time slicing among tasks of equal priority
  }
  return need;
}

bool kp_sched_delay(kp_scheduler* s, uint32_t ticks) {
  kp_task* t = s->current;
  if (t == nullptr || ticks == 0) return false;
  unready(s, t);
  t->state = eBlocked;
  t->wake_tick = s->ticks + ticks;
  return true;
}

bool kp_sched_suspend(kp_scheduler* s, kp_task* t) {
  if (t == nullptr || t->state == eSuspended || t->state == eDeleted) return false;
  if (t->state == eReady) unready(s, t);
  t->state = eSuspended;
  return t == s->current;
}

bool kp_sched_resume(kp_scheduler* s, kp_task* t) {
  if (t == nullptr || t->state != eSuspended || t == s->current) return false;
  make_ready(s, t);
  return s->current == nullptr || t->priority > s->current->priority;
}

kp_task* kp_sched_select(kp_scheduler* s) {
  for (uint32_t p = configMAX_PRIORITIES; p-- > 0;) {
    if (s->ready[p].count != 0) return s->current = list_next(&s->ready[p]);
  }
  return s->current = nullptr;
}

eTaskState kp_sched_state(const kp_scheduler* s, const kp_task* t) {
  if (t == nullptr || !kp_sched_is_task(s, t)) return eInvalid;
  if (t == s->current && t->state == eReady) return eRunning;
  return t->state;
}

bool kp_sched_is_task(const kp_scheduler* s, const kp_task* t) {
  for (uint32_t i = 0; i < s->task_count; i++)
    if (s->tasks[i] == t) return true;
  return false;
}
