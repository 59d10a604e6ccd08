// Timed events of the simulation: peripheral and world models schedule
// callbacks at virtual times; the machine fires them in time order (ties in
// the order they were scheduled), on the host stack, between firmware steps.
#pragma once

#include <cstdint>
#include <functional>
#include <queue>
#include <vector>

#include "host/time.h"

namespace host {

class EventQueue;

// Something that happens at a scheduled time. An event is scheduled at most
// once at a time; scheduling it again moves it. It may be destroyed while
// scheduled: the queue then forgets it.
class Event {
 public:
  explicit Event(EventQueue& queue);
  virtual ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void schedule(Time t);
  void cancel();
  bool scheduled() const;
  Time when() const;

  // Called once at the scheduled time; the event is no longer scheduled then
  // and may schedule itself again.
  virtual void fire(Time t) = 0;

 private:
  EventQueue& queue_;
  std::uint32_t slot_;
};

// An event that calls a function; convenient for one-off steps.
class FunctionEvent final : public Event {
 public:
  FunctionEvent(EventQueue& queue, std::function<void(Time)> fn) : Event(queue), fn_(std::move(fn)) {}
  void fire(Time t) override { fn_(t); }

 private:
  std::function<void(Time)> fn_;
};

class EventQueue {
 public:
  EventQueue() = default;
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  // Time of the earliest scheduled event, kNever when there is none.
  Time next_time();

  // Fires every event due at or before `now`, earliest first. Returns the
  // number fired.
  std::size_t fire_due(Time now);

  // Called whenever an event is scheduled, with its time (the machine uses it
  // to stop the processor before the event is due).
  void set_schedule_hook(std::function<void(Time)> hook) { hook_ = std::move(hook); }

 private:
  friend class Event;
  struct Slot {
    Event* event = nullptr;
    std::uint64_t generation = 0;
    Time when = kNever;
    bool scheduled = false;
  };
  struct Entry {
    Time when;
    std::uint64_t sequence;
    std::uint32_t slot;
    std::uint64_t generation;
    bool operator>(const Entry& o) const { return when != o.when ? when > o.when : sequence > o.sequence; }
  };

  std::uint32_t attach(Event* e);
  void detach(std::uint32_t slot);
  void schedule(std::uint32_t slot, Time t);
  void cancel(std::uint32_t slot);
  void drop_stale();

  std::vector<Slot> slots_;
  std::vector<std::uint32_t> free_slots_;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> heap_;
  std::uint64_t sequence_ = 0;
  std::function<void(Time)> hook_;
};

}  // namespace host
