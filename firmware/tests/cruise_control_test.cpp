// Cruise control through the board: the three buttons are lines pulled by
// the test, the speed comes from speed-sensor pulses, and what the control
// does is read from the stepper driver's enable, step and direction lines.
#include <vector>

#include "bench.h"
#include "board_setup.h"
#include "vehicle_state.h"

namespace {

using namespace bench;
namespace pins = sim::pins;

// Every rising edge of the step line with the direction and enable lines at
// that moment, and every change of the direction line.
class StepperLines final : public host::PinListener {
 public:
  struct Step {
    Time t;
    bool closing;    // direction line high
    bool energised;  // enable line low
  };
  explicit StepperLines(host::Machine& m) : m_(m) {
    m_.gpio().add_listener(pins::stepper_step, this);
    m_.gpio().add_listener(pins::stepper_dir, this);
  }
  ~StepperLines() override {
    m_.gpio().remove_listener(pins::stepper_step, this);
    m_.gpio().remove_listener(pins::stepper_dir, this);
  }
  void on_pin_level(host::PinId pin, Time t, bool level) override {
    if (pin == pins::stepper_dir) dir_changes.push_back(t);
    if (pin == pins::stepper_step && level)
      steps.push_back({t, m_.gpio().level(pins::stepper_dir), !m_.gpio().level(pins::stepper_en)});
  }
  std::vector<Step> since(Time t) const {
    std::vector<Step> out;
    for (const Step& s : steps)
      if (s.t >= t) out.push_back(s);
    return out;
  }

  std::vector<Step> steps;
  std::vector<Time> dir_changes;

 private:
  host::Machine& m_;
};

class CruiseControl : public Bench {
 protected:
  CruiseControl() { boot(); }

  // Speed pulses for `kmh` (with SPD_CAL 1 the reading is the pulse rate in
  // Hz) from now on for `seconds`, then runs until the filtered reading has
  // settled. Returns the time of the last pulse.
  Time drive(double kmh, double seconds = 60) {
    const Time period = static_cast<Time>(host::kTimePerSecond / kmh);
    const Time last = wheel.pulses(now() + ms(1), period, ms(0.5), static_cast<int>(seconds * kmh), false);
    run_for(s(3));
    return last;
  }
  void press(sim::PushButton& b, double hold_ms = 150) {
    b.press_for(ms(hold_ms));
    run_for(ms(hold_ms + 100));
  }
  void press_both(double hold_ms = 150) {
    up.press_for(ms(hold_ms));
    down.press_for(ms(hold_ms));
    run_for(ms(hold_ms + 100));
  }
  // Runs until the once-a-second computation has taken the next derivative
  // step (lasterror follows every change of the error).
  void next_derivative_step() {
    const float before = lasterror;
    run_while([&] { return lasterror == before; }, ms(1100), ms(1));
  }
  // Engages at about 91 km/h (target 90) and raises the target to `kmh`: the
  // error makes the control open the throttle.
  void engage_and_raise_to(float kmh) {
    press_both();
    ASSERT_EQ(targetspeed, 90.0f);
    while (targetspeed < kmh) press(up);
  }
  // Lets the cruise-control routines run with a throttle demand of exactly
  // `steps`: no terms but a fixed integral.
  void demand_steps(int steps) {
    cc_Pgain = cc_Igain = cc_Dgain = 0.0f;
    cc_integral = (static_cast<float>(steps) + 0.5f) / static_cast<float>(stepper_range);
  }

  sim::PushButton up{machine, pins::cc_up, true};
  sim::PushButton down{machine, pins::cc_down, true};
  sim::PushButton stop{machine, pins::cc_stop, true};
  Signal wheel{machine, pins::speed, host::Drive::Low};
  StepperLines stepper{machine};
};

// ---------------------------------------------------------------- buttons

TEST_F(CruiseControl, EngagesAtTheSpeedRoundedDownToFive) {
  drive(67.9);
  ASSERT_NEAR(speed, 67.9f, 0.01f);
  press_both();
  EXPECT_EQ(ccenable, 1);
  EXPECT_EQ(targetspeed, 65.0f);
  EXPECT_FALSE(level(pins::stepper_en));  // the driver holds the throttle
}

TEST_F(CruiseControl, RaisingWhileOffIsOverwrittenAndExactly45IsRefused) {
  for (int i = 0; i < 3; ++i) press(up);
  EXPECT_EQ(targetspeed, 15.0f);  // raising needs no engagement
  EXPECT_EQ(ccenable, 0);
  // The last pulse of a drive at 45 km/h, and the reading at exactly 45 (the
  // filter never lands on it exactly) for the second it holds.
  const Time last = drive(45.2, 4);
  run_to(last + ms(5));
  speed = 45.0f;
  press_both();
  ASSERT_EQ(speed, 45.0f);
  EXPECT_EQ(ccenable, 0);
  EXPECT_EQ(targetspeed, 0.0f);
  // Just above it engages, at 45.
  drive(46.5);
  press_both();
  EXPECT_EQ(ccenable, 1);
  EXPECT_EQ(targetspeed, 45.0f);
}

TEST_F(CruiseControl, BothButtonsToggleOncePerPress) {
  drive(81);
  up.press();
  down.press();
  for (int i = 0; i < 10; ++i) {
    run_for(ms(100));
    EXPECT_EQ(ccenable, 1) << "held " << (i + 1) * 100 << " ms";
  }
  EXPECT_EQ(targetspeed, 80.0f);
  up.release();
  down.release();
  run_for(ms(50));
  press_both();
  EXPECT_EQ(ccenable, 0);
  EXPECT_EQ(targetspeed, 0.0f);
  press_both();
  EXPECT_EQ(ccenable, 1);
}

TEST_F(CruiseControl, LoweringStopsAt45AndRaisingHasNoLimit) {
  drive(52);
  press_both();
  ASSERT_EQ(targetspeed, 50.0f);
  press(down);
  EXPECT_EQ(targetspeed, 45.0f);
  press(down);
  press(down, 600);
  EXPECT_EQ(targetspeed, 45.0f);
  // A held button acts once.
  press(up, 800);
  EXPECT_EQ(targetspeed, 50.0f);
  targetspeed = 300.0f;
  press(up);
  EXPECT_EQ(targetspeed, 305.0f);
  EXPECT_EQ(ccenable, 1);
}

// ---------------------------------------------------------------- stop input

TEST_F(CruiseControl, StopWhileOffStepsNothing) {
  press(up);
  const Time t = now();
  press(stop, 300);
  EXPECT_TRUE(stepper.since(t).empty());
  EXPECT_EQ(actualsteps, 0);
  EXPECT_EQ(targetspeed, 0.0f);
  EXPECT_TRUE(level(pins::stepper_en));
}

TEST_F(CruiseControl, StopWhileEngagedAtZeroDrivesTwentyStepsTowardClosedThenReleases) {
  drive(80);
  up.press_for(ms(30));
  down.press_for(ms(30));
  run_for(ms(40));
  ASSERT_EQ(ccenable, 1);
  ASSERT_EQ(actualsteps, 0);  // before the first derivative step opens the throttle
  const Time t = now();
  press(stop, 300);
  const auto steps = stepper.since(t);
  ASSERT_EQ(steps.size(), 20u);
  for (const auto& st : steps) {
    EXPECT_TRUE(st.closing);
    EXPECT_TRUE(st.energised);
  }
  // The return run takes the short period: one step every 1.2 ms.
  EXPECT_NEAR(host::to_ms(steps.back().t - steps.front().t) / 19.0, 1.2, 0.001);
  EXPECT_EQ(ccenable, 0);
  EXPECT_EQ(actualsteps, 0);
  EXPECT_TRUE(level(pins::stepper_en));
}

// ---------------------------------------------------------------- stepper

// The configuration menu's test engages with the car standing: the demand
// is the whole travel, the motor runs out to within the dead band of it and,
// once disengaged, back to closed, where it is released.
TEST_F(CruiseControl, FullDemandRunsOutToTheRangeAndBack) {
  stepper_range = 1500;
  ccenable = 1;
  targetspeed = 200.0f;
  const Time t0 = now();
  run_for(s(3));
  EXPECT_EQ(ccthr, 1.0f);
  EXPECT_EQ(targetsteps, 1500);
  EXPECT_EQ(actualsteps, 1470);
  EXPECT_EQ(ccenable, 1);  // a standing car is no loss of the speed signal
  const auto out = stepper.since(t0);
  ASSERT_EQ(out.size(), 1470u);
  EXPECT_FALSE(out.front().closing);
  EXPECT_NEAR(host::to_ms(out.back().t - out.front().t) / 1469.0, 1.8, 0.001);

  const Time t1 = now();
  ccenable = 0;
  targetspeed = 0.0f;
  run_for(s(2));
  const auto back = stepper.since(t1);
  ASSERT_EQ(back.size(), 1470u);
  EXPECT_TRUE(back.front().closing);
  EXPECT_NEAR(host::to_ms(back.back().t - back.front().t) / 1469.0, 1.2, 0.001);
  EXPECT_EQ(actualsteps, 0);
  EXPECT_TRUE(level(pins::stepper_en));
}

TEST_F(CruiseControl, DeadBandOf30StepsAndAPauseOnAChangeOfDirection) {
  ccenable = 1;
  demand_steps(500);
  run_for(s(1.5));
  ASSERT_EQ(targetsteps, 500);
  ASSERT_EQ(actualsteps, 470);  // stops 30 short

  Time t = now();
  demand_steps(500);  // 30 steps away
  run_for(ms(100));
  EXPECT_TRUE(stepper.since(t).empty());
  demand_steps(501);  // 31 away: one step
  run_for(ms(100));
  EXPECT_EQ(stepper.since(t).size(), 1u);
  EXPECT_EQ(actualsteps, 471);
  EXPECT_FALSE(level(pins::stepper_en));  // held inside the dead band

  // The other way, 31 below: one tick only turns the direction line, the
  // next steps.
  t = now();
  const std::size_t dir_before = stepper.dir_changes.size();
  demand_steps(440);
  run_for(ms(100));
  auto steps = stepper.since(t);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_TRUE(steps[0].closing);
  ASSERT_EQ(stepper.dir_changes.size(), dir_before + 1);
  EXPECT_NEAR(host::to_ms(steps[0].t - stepper.dir_changes.back()), 1.8, 0.01);
  EXPECT_EQ(actualsteps, 470);
  t = now();
  demand_steps(440);  // 30 below
  run_for(ms(100));
  EXPECT_TRUE(stepper.since(t).empty());
}

// ---------------------------------------------------------------- derivative

// The first derivative step after engaging compares with the error of the
// disengaged control (−speed): the throttle opens fully for one second.
TEST_F(CruiseControl, FirstDerivativeStepAfterEngagingOpensTheThrottleForASecond) {
  drive(67.9);
  press_both();
  ASSERT_EQ(targetspeed, 65.0f);
  while (lasterror < -60.0f) run_for(ms(1));  // still the error of the disengaged control
  EXPECT_NEAR(cc_derivative, 13.0f, 0.01f);
  EXPECT_NEAR(lasterror, 65.0f - speed, 0.001f);
  const Time kick = now();
  int full = 0;
  while (cc_derivative > 12.0f && now() < kick + ms(1100)) {
    run_for(ms(10));
    full += ccthr == 1.0f ? 1 : 0;
  }
  EXPECT_GE(full, 95);  // a second of full demand
  const int opened = actualsteps;
  EXPECT_GT(opened, 500);  // 555 steps a second at most
  EXPECT_LE(opened, 556);
  next_derivative_step();
  run_for(ms(20));
  EXPECT_NEAR(cc_derivative, 0.0f, 0.05f);
  EXPECT_LT(ccthr, 0.05f);  // above the target: no proportional term, no integral
}

// ---------------------------------------------------------------- losing the speed signal

TEST_F(CruiseControl, SpeedPulsesStoppingWhileEngagedReleaseTheThrottle) {
  const Time last_pulse = drive(91, 9);
  engage_and_raise_to(100);
  run_to(last_pulse + ms(5));
  const int at_loss = actualsteps;
  ASSERT_GT(at_loss, 300);
  // The reading holds for a second, then drops to 0.
  while (speed > 0.0f && now() < last_pulse + s(2.1)) run_for(ms(1));
  ASSERT_EQ(speed, 0.0f);
  const Time zero = now();
  run_for(ms(20));
  EXPECT_EQ(ccenable, 0);
  EXPECT_EQ(targetspeed, 0.0f);
  run_for(s(3));  // at most 2000 steps back, 1.2 ms each
  for (const auto& st : stepper.since(zero)) EXPECT_TRUE(st.closing);
  EXPECT_EQ(actualsteps, 0);
  EXPECT_TRUE(level(pins::stepper_en));
}

// ---------------------------------------------------------------- power-down

TEST_F(CruiseControl, IgnitionOffDisengagesAndTheMotorReturnsAndIsReleased) {
  drive(91, 10);
  engage_and_raise_to(100);
  run_for(s(2));
  ASSERT_EQ(ccenable, 1);
  const int open = actualsteps;
  ASSERT_GT(open, 300);
  const Time off = now();
  ignition.set(false);
  // The main task switches the control off when its loop next finds the
  // ignition off.
  run_while([] { return ccenable != 0; }, s(10), ms(10));
  ASSERT_EQ(ccenable, 0);
  EXPECT_EQ(targetspeed, 0.0f);
  run_for(s(3));
  EXPECT_TRUE(machine.powered());  // the relay holds the unit
  int closed = 0;
  for (const auto& st : stepper.since(off)) closed += st.closing ? 1 : -1;
  EXPECT_EQ(closed, open);
  EXPECT_EQ(actualsteps, 0);
  EXPECT_TRUE(level(pins::stepper_en));
}

}  // namespace
