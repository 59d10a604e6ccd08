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

 protected:
  // For the chip's own peripherals: firing only changes peripheral state and
  // pending interrupts (never power, reset or the world's own timeline), so
  // the processor may fire it where it stands instead of handing over to the
  // host side first. The order and times of events stay the same.
  void fires_on_processor() { on_processor_ = true; }

 private:
  friend class EventQueue;
  EventQueue& queue_;
  std::uint32_t slot_;
  bool on_processor_ = false;
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
  // Fires the earliest event if it is due at or before `now` and may fire on
  // the processor (see Event::fires_on_processor). True when one was fired.
  bool fire_due_on_processor(Time now);

  // Called whenever an event is scheduled, with its time (the machine uses it
  // to stop the processor before the event is due).
  using ScheduleHook = void (*)(void* context, Time t);
  void set_schedule_hook(ScheduleHook hook, void* context) {
    hook_ = hook;
    hook_context_ = context;
  }

 private:
  friend class Event;
  // A schedule's key: its sequence number above the slot. Keys grow with
  // every schedule, so equal times fire in the order they were scheduled,
  // and an entry is live only while its slot still holds its key (moving or
  // cancelling an event leaves the old entry to be dropped when it surfaces).
  static constexpr unsigned kSlotBits = 16;
  static constexpr std::uint32_t kMaxSlots = 1u << kSlotBits;
  struct Slot {
    Event* event = nullptr;
    Time when = kNever;
    std::uint64_t key = 0;
    bool scheduled = false;
  };
  struct Entry {
    Time when;
    std::uint64_t key;
    std::uint32_t slot() const { return static_cast<std::uint32_t>(key & (kMaxSlots - 1)); }
    bool operator>(const Entry& o) const { return when != o.when ? when > o.when : key > o.key; }
  };
  bool live(const Entry& e) const {
    const Slot& s = slots_[e.slot()];
    return s.scheduled && s.key == e.key;
  }
  // Takes the earliest entry off the heap and fires its event.
  void fire_top();

  std::uint32_t attach(Event* e);
  void detach(std::uint32_t slot);
  void schedule(std::uint32_t slot, Time t);
  void cancel(std::uint32_t slot);
  void drop_stale();

  std::vector<Slot> slots_;
  std::vector<std::uint32_t> free_slots_;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> heap_;
  std::uint64_t sequence_ = 0;  // 48 bits: centuries of virtual time at any event rate
  ScheduleHook hook_ = nullptr;
  void* hook_context_ = nullptr;
};

}  // namespace host
