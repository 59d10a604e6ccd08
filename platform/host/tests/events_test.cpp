// The timed events: time order with ties in scheduling order, moved and
// cancelled events firing once or not at all, and events destroyed while
// scheduled forgotten even when their place is taken by another.
#include "host/events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace test {
namespace {

struct Log {
  std::vector<std::string> fired;
};

class Named : public host::Event {
 public:
  Named(host::EventQueue& q, Log& log, std::string name, bool on_processor = false)
      : Event(q), log_(log), name_(std::move(name)) {
    if (on_processor) fires_on_processor();
  }
  void fire(host::Time t) override { log_.fired.push_back(name_ + "@" + std::to_string(t)); }

 private:
  Log& log_;
  std::string name_;
};

TEST(Events, FireInTimeOrderWithTiesInTheOrderTheyWereScheduled) {
  host::EventQueue q;
  Log log;
  Named a(q, log, "a"), b(q, log, "b"), c(q, log, "c"), d(q, log, "d");
  c.schedule(20);
  a.schedule(10);
  b.schedule(20);
  d.schedule(5);
  d.schedule(20);  // moved: fires once, after the others at 20
  EXPECT_EQ(q.next_time(), 10u);
  EXPECT_EQ(q.fire_due(19), 1u);
  EXPECT_EQ(q.fire_due(20), 3u);
  EXPECT_EQ(log.fired, (std::vector<std::string>{"a@10", "c@20", "b@20", "d@20"}));
  EXPECT_EQ(q.next_time(), host::kNever);
  EXPECT_FALSE(d.scheduled());
}

TEST(Events, CancelledAndDestroyedEventsNeverFireEvenWhenTheirPlaceIsReused) {
  host::EventQueue q;
  Log log;
  Named kept(q, log, "kept");
  auto gone = std::make_unique<Named>(q, log, "gone");
  gone->schedule(10);
  kept.schedule(30);
  kept.cancel();
  EXPECT_FALSE(kept.scheduled());
  EXPECT_EQ(kept.when(), host::kNever);
  gone.reset();
  // The newcomer takes the destroyed event's place; the old entry at 10 is
  // not the newcomer's.
  Named newcomer(q, log, "new");
  newcomer.schedule(40);
  EXPECT_EQ(q.next_time(), 40u);
  kept.schedule(35);
  EXPECT_EQ(kept.when(), 35u);
  EXPECT_EQ(q.fire_due(100), 2u);
  EXPECT_EQ(log.fired, (std::vector<std::string>{"kept@35", "new@40"}));
}

// An event that schedules itself again from its own firing.
class Ticker final : public host::Event {
 public:
  Ticker(host::EventQueue& q, std::vector<host::Time>& at) : Event(q), at_(at) {}
  void fire(host::Time t) override {
    at_.push_back(t);
    if (at_.size() < 4) schedule(t + 7);
  }

 private:
  std::vector<host::Time>& at_;
};

TEST(Events, OnlyTheChipsOwnEventsFireWhereTheProcessorStands) {
  host::EventQueue q;
  Log log;
  Named world(q, log, "world"), dma(q, log, "dma", true);
  std::vector<host::Time> ticks;
  Ticker ticker(q, ticks);
  dma.schedule(5);
  world.schedule(8);
  EXPECT_FALSE(q.fire_due_on_processor(4));  // not due yet
  EXPECT_TRUE(q.fire_due_on_processor(9));
  EXPECT_FALSE(q.fire_due_on_processor(9));  // the world's event is next: the host fires it
  EXPECT_EQ(log.fired, (std::vector<std::string>{"dma@5"}));
  ticker.schedule(10);
  EXPECT_EQ(q.fire_due(30), 4u);  // the world's event and three ticks; the fourth is at 31
  EXPECT_EQ(ticks, (std::vector<host::Time>{10, 17, 24}));
  EXPECT_EQ(q.next_time(), 31u);
}

// Many events moved, cancelled and fired in a seeded random order fire just
// as a plain model says: by time, then by when they were last scheduled.
TEST(Events, ARandomMixOfSchedulesFiresAsTheModelSays) {
  host::EventQueue q;
  Log log;
  std::vector<std::unique_ptr<Named>> events;
  for (int i = 0; i < 40; ++i) events.push_back(std::make_unique<Named>(q, log, std::to_string(i)));
  std::map<int, std::pair<host::Time, std::uint64_t>> model;  // event -> (time, order scheduled)
  std::vector<std::string> expected;
  std::mt19937 rng(7);
  std::uint64_t order = 0;
  host::Time now = 0;
  for (int step = 0; step < 5000; ++step) {
    const int e = static_cast<int>(rng() % events.size());
    switch (rng() % 4) {
      case 0:
      case 1: {
        const host::Time t = now + rng() % 50;
        events[e]->schedule(t);
        model[e] = {t, order++};
        break;
      }
      case 2:
        events[e]->cancel();
        model.erase(e);
        break;
      default: {
        now += rng() % 20;
        std::vector<std::pair<std::pair<host::Time, std::uint64_t>, int>> due;
        for (const auto& [id, at] : model)
          if (at.first <= now) due.push_back({at, id});
        std::sort(due.begin(), due.end());
        for (const auto& [at, id] : due) {
          expected.push_back(std::to_string(id) + "@" + std::to_string(at.first));
          model.erase(id);
        }
        q.fire_due(now);
        break;
      }
    }
    const host::Time next = model.empty() ? host::kNever
                                          : std::min_element(model.begin(), model.end(), [](auto& a, auto& b) {
                                              return a.second < b.second;
                                            })->second.first;
    ASSERT_EQ(q.next_time(), next) << "step " << step;
  }
  EXPECT_EQ(log.fired, expected);
  EXPECT_GT(expected.size(), 1000u);
}

}  // namespace
}  // namespace test
