// Timed events of the simulation: peripheral and world models schedule
// callbacks at virtual times; the machine fires them in time order (ties in
// the order they were scheduled), on the host stack, between firmware steps.
#pragma once

#include <cstdint>
#include <functional>
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
  Time next_time() const { return order_.empty() ? kNever : order_.back().when; }

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
  struct Slot {
    Event* event = nullptr;
    Time when = kNever;
    bool scheduled = false;
  };
  struct Entry {
    Time when;
    std::uint32_t slot;
  };

  std::uint32_t attach(Event* e);
  void detach(std::uint32_t slot);
  void schedule(std::uint32_t slot, Time t);
  void cancel(std::uint32_t slot);
  // Takes the slot's entry out of the order.
  void unlink(std::uint32_t slot);
  // Takes the earliest entry out and fires its event.
  void fire_next();

  std::vector<Slot> slots_;
  std::vector<std::uint32_t> free_slots_;
  // The scheduled events, latest first, so the next to fire is at the back;
  // equal times keep the order they were scheduled in, and each event is in
  // it once at most. A machine and its world have a few dozen events, most
  // of them due soon: keeping the order costs less than a heap does.
  std::vector<Entry> order_;
  ScheduleHook hook_ = nullptr;
  void* hook_context_ = nullptr;
};

}  // namespace host
