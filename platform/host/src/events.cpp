#include "host/events.h"

#include <stdexcept>

namespace host {

Event::Event(EventQueue& queue) : queue_(queue), slot_(queue.attach(this)) {}
Event::~Event() { queue_.detach(slot_); }
void Event::schedule(Time t) { queue_.schedule(slot_, t); }
void Event::cancel() { queue_.cancel(slot_); }
bool Event::scheduled() const { return queue_.slots_[slot_].scheduled; }
Time Event::when() const { return queue_.slots_[slot_].scheduled ? queue_.slots_[slot_].when : kNever; }

std::uint32_t EventQueue::attach(Event* e) {
  std::uint32_t slot;
  if (!free_slots_.empty()) {
    slot = free_slots_.back();
    free_slots_.pop_back();
  } else {
    if (slots_.size() >= kMaxSlots) throw std::length_error("host: too many timed events");
    slot = static_cast<std::uint32_t>(slots_.size());
    slots_.emplace_back();
  }
  slots_[slot].event = e;
  slots_[slot].scheduled = false;
  return slot;
}

void EventQueue::detach(std::uint32_t slot) {
  Slot& s = slots_[slot];
  s.event = nullptr;
  s.scheduled = false;  // entries still in the heap no longer match
  free_slots_.push_back(slot);
}

void EventQueue::schedule(std::uint32_t slot, Time t) {
  Slot& s = slots_[slot];
  s.scheduled = true;
  s.when = t;
  s.key = (sequence_++ << kSlotBits) | slot;
  heap_.push(Entry{t, s.key});
  if (hook_ != nullptr) hook_(hook_context_, t);
}

void EventQueue::cancel(std::uint32_t slot) {
  slots_[slot].scheduled = false;
}

void EventQueue::drop_stale() {
  while (!heap_.empty() && !live(heap_.top())) heap_.pop();
}

Time EventQueue::next_time() {
  drop_stale();
  return heap_.empty() ? kNever : heap_.top().when;
}

void EventQueue::fire_top() {
  const Entry e = heap_.top();
  heap_.pop();
  Slot& s = slots_[e.slot()];
  s.scheduled = false;
  s.event->fire(e.when);
}

bool EventQueue::fire_due_on_processor(Time now) {
  drop_stale();
  if (heap_.empty() || heap_.top().when > now) return false;
  if (!slots_[heap_.top().slot()].event->on_processor_) return false;
  fire_top();
  return true;
}

std::size_t EventQueue::fire_due(Time now) {
  std::size_t fired = 0;
  for (;;) {
    drop_stale();
    if (heap_.empty() || heap_.top().when > now) return fired;
    ++fired;
    fire_top();
  }
}

}  // namespace host
