#include "host/events.h"

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
    slot = static_cast<std::uint32_t>(slots_.size());
    slots_.emplace_back();
  }
  slots_[slot].event = e;
  slots_[slot].scheduled = false;
  return slot;
}

void EventQueue::detach(std::uint32_t slot) {
  cancel(slot);
  slots_[slot].event = nullptr;
  free_slots_.push_back(slot);
}

void EventQueue::unlink(std::uint32_t slot) {
  for (std::size_t i = order_.size(); i-- > 0;) {
    if (order_[i].slot == slot) {
      order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

void EventQueue::schedule(std::uint32_t slot, Time t) {
  Slot& s = slots_[slot];
  if (s.scheduled) unlink(slot);
  s.scheduled = true;
  s.when = t;
  // Behind the new entry stay those due before it or at the same time.
  std::size_t i = order_.size();
  while (i > 0 && order_[i - 1].when <= t) --i;
  order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(i), Entry{t, slot});
  if (hook_ != nullptr) hook_(hook_context_, t);
}

void EventQueue::cancel(std::uint32_t slot) {
  Slot& s = slots_[slot];
  if (!s.scheduled) return;
  unlink(slot);
  s.scheduled = false;
}

void EventQueue::fire_next() {
  const Entry e = order_.back();
  order_.pop_back();
  Slot& s = slots_[e.slot];
  s.scheduled = false;
  s.event->fire(e.when);
}

bool EventQueue::fire_due_on_processor(Time now) {
  if (order_.empty() || order_.back().when > now) return false;
  if (!slots_[order_.back().slot].event->on_processor_) return false;
  fire_next();
  return true;
}

std::size_t EventQueue::fire_due(Time now) {
  std::size_t fired = 0;
  while (!order_.empty() && order_.back().when <= now) {
    ++fired;
    fire_next();
  }
  return fired;
}

}  // namespace host
