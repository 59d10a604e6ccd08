// The chip kernel's scheduling decisions, on the host: ready lists in turn,
// time slicing at each tick, delays, suspend (of itself too) and resume, the
// task states, and the idle case.
#include <gtest/gtest.h>

#include <vector>

#include "kernel_sched.h"

namespace {

class KernelSched : public ::testing::Test {
 protected:
  KernelSched() {
    kp_sched_init(&s);
    for (kp_task& t : tasks) t = kp_task{};
  }
  kp_task* add(int i, uint32_t priority = 24) {
    EXPECT_TRUE(kp_sched_add(&s, &tasks[i], priority, "t"));
    return &tasks[i];
  }
  // Runs `ticks` ticks, switching whenever the scheduler asks; returns the
  // task that ran after each tick (nullptr for idle).
  std::vector<kp_task*> run(int ticks) {
    std::vector<kp_task*> order;
    for (int i = 0; i < ticks; i++) {
      if (kp_sched_tick(&s)) kp_sched_select(&s);
      order.push_back(s.current);
    }
    return order;
  }
  kp_scheduler s;
  kp_task tasks[KP_MAX_TASKS];
};

TEST_F(KernelSched, TheNewestTaskOfTheHighestPriorityStartsThenEqualTasksTakeTurnsEachTick) {
  kp_task *a = add(0), *b = add(1), *c = add(2);
  kp_sched_start(&s);
  EXPECT_EQ(s.current, c);
  EXPECT_EQ(kp_sched_state(&s, c), eRunning);
  EXPECT_EQ(kp_sched_state(&s, a), eReady);
  EXPECT_EQ(run(7), (std::vector<kp_task*>{a, b, c, a, b, c, a}));
}

TEST_F(KernelSched, AHigherPriorityTaskKeepsTheProcessorAndALoneTaskIsNotSwitched) {
  kp_task* low = add(0, 10);
  kp_task* high = add(1, 30);
  kp_sched_start(&s);
  EXPECT_FALSE(kp_sched_tick(&s));
  EXPECT_EQ(s.current, high);
  // Blocked, the high task leaves the processor to the low one until it wakes.
  EXPECT_TRUE(kp_sched_delay(&s, 2));
  EXPECT_EQ(kp_sched_select(&s), low);
  EXPECT_FALSE(kp_sched_tick(&s));
  EXPECT_TRUE(kp_sched_tick(&s));
  EXPECT_EQ(kp_sched_select(&s), high);
}

TEST_F(KernelSched, ADelayEndsOnItsTickAndTheWokenTaskJoinsTheEndOfTheTurn) {
  kp_task *a = add(0), *b = add(1), *c = add(2);
  kp_sched_start(&s);
  kp_sched_select(&s);  // a
  ASSERT_EQ(s.current, a);
  EXPECT_TRUE(kp_sched_delay(&s, 3));
  EXPECT_EQ(kp_sched_state(&s, a), eBlocked);
  EXPECT_EQ(kp_sched_select(&s), b);
  // Ticks 1 and 2 slice b and c; on tick 3 a is ready again, last in the turn.
  EXPECT_EQ(run(5), (std::vector<kp_task*>{c, b, c, a, b}));
  EXPECT_EQ(s.ticks, 5u);
}

TEST_F(KernelSched, ADelayOfZeroDoesNotBlock) {
  add(0);
  kp_sched_start(&s);
  EXPECT_FALSE(kp_sched_delay(&s, 0));
  EXPECT_EQ(kp_sched_state(&s, s.current), eRunning);
}

TEST_F(KernelSched, ATaskSuspendsItselfAndRunsAgainOnlyWhenResumed) {
  kp_task *a = add(0), *b = add(1);
  kp_sched_start(&s);
  ASSERT_EQ(s.current, b);
  EXPECT_TRUE(kp_sched_suspend(&s, b));  // itself: a switch is due
  EXPECT_EQ(kp_sched_select(&s), a);
  EXPECT_EQ(kp_sched_state(&s, b), eSuspended);
  EXPECT_EQ(run(3), (std::vector<kp_task*>{a, a, a}));
  EXPECT_FALSE(kp_sched_resume(&s, b));  // equal priority: no preemption
  EXPECT_EQ(kp_sched_state(&s, b), eReady);
  EXPECT_EQ(run(2), (std::vector<kp_task*>{b, a}));
  EXPECT_FALSE(kp_sched_resume(&s, b));  // not suspended: nothing happens
}

TEST_F(KernelSched, SuspendingABlockedTaskKeepsItAsleepPastItsWakeTick) {
  kp_task *a = add(0), *b = add(1);
  kp_sched_start(&s);
  ASSERT_EQ(s.current, b);
  kp_sched_delay(&s, 1);
  kp_sched_select(&s);
  EXPECT_FALSE(kp_sched_suspend(&s, b));  // not the running task
  EXPECT_EQ(kp_sched_state(&s, b), eSuspended);
  EXPECT_EQ(run(3), (std::vector<kp_task*>{a, a, a}));
  kp_sched_resume(&s, b);
  EXPECT_EQ(kp_sched_state(&s, b), eReady);
}

TEST_F(KernelSched, WithEveryTaskAsleepTheIdleTaskRunsUntilOneWakes) {
  kp_task* a = add(0);
  kp_sched_start(&s);
  kp_sched_delay(&s, 2);
  EXPECT_EQ(kp_sched_select(&s), nullptr);
  EXPECT_EQ(kp_sched_state(&s, a), eBlocked);
  EXPECT_FALSE(kp_sched_tick(&s));
  EXPECT_TRUE(kp_sched_tick(&s));
  EXPECT_EQ(kp_sched_select(&s), a);
}

TEST_F(KernelSched, AResumedHigherPriorityTaskPreempts) {
  add(0, 10);
  kp_task* high = add(1, 30);
  kp_sched_start(&s);
  kp_sched_suspend(&s, high);
  kp_sched_select(&s);
  EXPECT_TRUE(kp_sched_resume(&s, high));
  EXPECT_EQ(kp_sched_select(&s), high);
}

TEST_F(KernelSched, UnknownHandlesAndFullTablesAreRefused) {
  kp_task stranger{};
  EXPECT_EQ(kp_sched_state(&s, &stranger), eInvalid);
  EXPECT_EQ(kp_sched_state(&s, nullptr), eInvalid);
  for (int i = 0; i < KP_MAX_TASKS; i++) add(i);
  kp_task extra{};
  EXPECT_FALSE(kp_sched_add(&s, &extra, 24, "x"));
  EXPECT_FALSE(kp_sched_add(&s, &extra, configMAX_PRIORITIES, "x"));
}

TEST_F(KernelSched, TheTickCountWrapsAndDelaysAcrossTheWrapStillEnd) {
  kp_task* a = add(0);
  kp_sched_start(&s);
  s.ticks = 0xFFFFFFFEu;
  kp_sched_delay(&s, 3);
  kp_sched_select(&s);
  EXPECT_EQ(run(3), (std::vector<kp_task*>{nullptr, nullptr, a}));
  EXPECT_EQ(s.ticks, 1u);
}

}  // namespace
