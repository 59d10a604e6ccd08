// The once-a-second computation and the trip channels, through the board.
#include <cmath>

#include "bench.h"
#include "trip_computer.h"
#include "vehicle_state.h"

namespace {

using namespace bench;
namespace pins = sim::pins;

class PerSecond : public Bench {
 protected:
  PerSecond() { boot(); }
  // Runs on in 1 ms steps until the once-a-second computation has run.
  void next_second() {
    const uint32_t before = lastrpmtickpb ^ lastrpmticklpg;
    const double dist = lastdistpb + lastdistlpg;
    const float cons = instconsph;
    const Time limit = now() + ms(1100);
    while (now() < limit && (lastrpmtickpb ^ lastrpmticklpg) == before && lastdistpb + lastdistlpg == dist &&
           instconsph == cons)
      run_for(ms(1));
  }
  Signal petrol{machine, pins::wtr_pb, host::Drive::High};
  Signal lpg{machine, pins::wtr_lpg, host::Drive::High};
  Signal wheel{machine, pins::speed, host::Drive::Low};
};

TEST_F(PerSecond, ConsumptionPerDistanceAndPerHour) {
  // 72 km/h (72 pulses a second) and 40 injections of 5 ms a second:
  // 0.002 l over 0.02 km in each second, 10 l/100 km and 7.2 l/h.
  const Time t0 = now() + ms(5);
  wheel.pulses(t0, host::kTimePerSecond / 72, ms(1), 72 * 6, false);
  petrol.pulses(t0 + ms(3), ms(25), ms(5), 40 * 6, true);
  run_to(t0 + s(3));
  next_second();
  for (int i = 0; i < 2; ++i) {
    const double f0 = lastpbcons, d0 = lastdistpb;
    next_second();
    const double f1 = lastpbcons, d1 = lastdistpb;
    ASSERT_NE(d1, d0);
    EXPECT_EQ(instcons, (float)((f1 - f0) / (d1 - d0) * 100.0));
    EXPECT_EQ(instconsph, (float)((f1 - f0) * 3600.0));
    EXPECT_NEAR(instcons, 10.0f, 0.4f);
    EXPECT_NEAR(instconsph, 7.2f, 0.2f);
  }
}

TEST_F(PerSecond, EngineStopsWithinTwoSecondsOfTheLastInjectionAtIdle) {
  const Time t0 = now() + ms(5);
  const Time last = petrol.pulses(t0, ms(75), ms(3), 40, true);  // 800 rev/min
  run_to(last - ms(100));
  EXPECT_EQ(rpm, 800);
  EXPECT_TRUE(level(pins::pk1));
  run_to(last + ms(2100));
  EXPECT_EQ(rpm, 0);
  EXPECT_EQ(injtime, 0.0f);
  EXPECT_FALSE(level(pins::pk1));
}

TEST_F(PerSecond, FuelCutOffAboveIdleKeepsEngineSpeed) {
  const Time t0 = now() + ms(5);
  const Time last = petrol.pulses(t0, ms(24), ms(3), 80, true);  // 2500 rev/min
  run_to(last + ms(2100));
  EXPECT_EQ(rpm, 2500);
  EXPECT_EQ(injtime, 0.0f);
  EXPECT_TRUE(level(pins::pk1));
}

TEST_F(PerSecond, LevelInstallationOnLpgSeesNoLpgInjections) {
  lpgtype = 2;
  lpg.set(true);
  const Time t0 = now() + ms(5);
  petrol.pulses(t0, ms(75), ms(3), 100, true);  // 800 rev/min for 7.5 s
  run_to(t0 + s(2));
  ASSERT_EQ(IsOnLpg, 1);
  // Each second finds no LPG injection: injection time and engine speed go
  // to 0 and the engine-running output low, until the next petrol pulse.
  next_second();
  run_for(ms(1));
  EXPECT_EQ(injtime, 0.0f);
  EXPECT_EQ(rpm, 0);
  EXPECT_FALSE(level(pins::pk1));
  run_for(ms(80));
  EXPECT_EQ(rpm, 800);
}

TEST_F(PerSecond, SpeedDropsToZeroAfterASecondWithoutPulses) {
  const Time t0 = now() + ms(5);
  const Time last = wheel.pulses(t0, ms(900), ms(1), 6, false);
  run_to(last - ms(50));
  EXPECT_GT(speed, 0.0f);  // a pulse every 900 ms holds it
  run_to(last + ms(2100));
  EXPECT_EQ(speed, 0.0f);
}

TEST_F(PerSecond, ChannelWithoutDistanceShows99AndRangeOfTheTankAt99) {
  // The petrol sender reads half a tank, and its filtered level stays there.
  struct HalfTank : host::AnalogInput {
    double voltage(Time) override { return 2047.0 / 4095.0 * 3.3; }
  } half;
  machine.adc1().attach(2, &half);
  pbcomp = 0;
  flvl.pb_min = 0;
  flvl.pb_max = 4094;
  pbcap = 45;
  lpgcap = 30;
  pblvl = 0.5f;
  lpglvl = 0.25f;
  active_ch = 2;
  run_for(ms(1100));
  EXPECT_EQ(avgpbcons, 99.0f);
  EXPECT_EQ(avglpgcons, 99.0f);
  EXPECT_EQ(pbrange, 45.0f * 0.5f / 99.0f * 100.0f);
  EXPECT_EQ(lpgrange, 30.0f * 0.25f / 99.0f * 100.0f);
  machine.adc1().attach(2, nullptr);
}

TEST_F(PerSecond, AverageOfTheActiveChannelIsCappedAt99) {
  active_ch = 1;
  ch_start[0].pbcons = 5.0;  // 5 l over a few metres
  const Time t0 = now() + ms(5);
  wheel.pulses(t0, ms(10), ms(1), 10, false);
  run_to(t0 + s(1.2));
  EXPECT_EQ(avgpbcons, 99.0f);
}

TEST_F(PerSecond, ResettingOneFuelOfAChannelZeroesOnlyThatFuel) {
  lpgtype = 1;
  // Some LPG driving, then a reset of channel 2's LPG counters.
  Time t = now() + ms(5);
  for (int i = 0; i < 10; ++i, t += ms(25)) {
    petrol.low_pulse(t, ms(3));
    lpg.low_pulse(t + ms(0.3), ms(4));
  }
  wheel.pulses(now() + ms(5), ms(10), ms(1), 40, false);
  ch_start[1].distpb = 7.0;
  run_to(t + ms(200));
  const bc other = ch[0];
  resetlpg(2);
  run_for(ms(200));  // the main loop recomputes the channels
  EXPECT_EQ(ch[1].distlpg, 0.0);
  EXPECT_EQ(ch[1].lpgcons, 0.0);
  EXPECT_EQ(ch[1].distpb, 7.0 + distpb);
  EXPECT_EQ(ch[0].distlpg, other.distlpg);
  EXPECT_EQ(ch[0].lpgcons, other.lpgcons);
  // Further driving adds exactly what the live totals add.
  const double live = distlpg;
  wheel.pulses(now() + ms(5), ms(10), ms(1), 20, false);
  run_for(ms(400));
  EXPECT_EQ(ch[1].distlpg, distlpg - live);
  EXPECT_GT(ch[1].distlpg, 0.0);
}

TEST_F(PerSecond, TripChannelNumbersFromTheRecordComeIntoRange) {
  EXPECT_EQ(normalised_channel(0), 3);
  EXPECT_EQ(normalised_channel(1), 1);
  EXPECT_EQ(normalised_channel(3), 3);
  EXPECT_EQ(normalised_channel(4), 1);
  EXPECT_EQ(normalised_channel(255), 1);
}

}  // namespace
