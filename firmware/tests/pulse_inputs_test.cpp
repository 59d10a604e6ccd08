// Pulse inputs measured through the board: injector openings, engine speed,
// road speed and distance, the LPG installations and the encoder.
#include "bench.h"
#include "board_setup.h"
#include "vehicle_state.h"

namespace {

using namespace bench;
namespace pins = sim::pins;

class PulseInputs : public Bench {
 protected:
  PulseInputs() { boot(); }
  Signal petrol{machine, pins::wtr_pb, host::Drive::High};
  Signal lpg{machine, pins::wtr_lpg, host::Drive::High};
  Signal wheel{machine, pins::speed, host::Drive::Low};
};

TEST_F(PulseInputs, PetrolOpeningOf3msAddsItsFuelAndSetsTheInjectionTime) {
  PB_CAL = 1.0f;
  const double before = pbcons;
  const Time t0 = now() + ms(10);
  petrol.low_pulse(t0, ms(3));
  run_to(t0 + ms(4));
  EXPECT_NEAR(injtime, 3.0f, 2e-5f);
  EXPECT_NEAR(pbcons - before, 0.00003, 1e-10);
}

TEST_F(PulseInputs, OpeningsOfExactly0Point5And300msAreNotCounted) {
  injtype = 1;
  const Time t0 = now() + ms(10);
  petrol.low_pulse(t0, ms(3));
  petrol.low_pulse(t0 + ms(20), ms(3));  // 20 ms period: 3000 rev/min
  run_to(t0 + ms(30));
  ASSERT_EQ(rpm, 3000);
  const double fuel = pbcons;
  petrol.low_pulse(t0 + ms(100), ms(0.5));
  run_to(t0 + ms(101));
  EXPECT_NEAR(injtime, 0.5f, 2e-5f);  // the value stays, the injection does not count
  petrol.low_pulse(t0 + ms(200), ms(300));
  run_to(t0 + ms(501));
  EXPECT_NEAR(injtime, 300.0f, 1e-3f);
  EXPECT_EQ(pbcons, fuel);
  EXPECT_EQ(rpm, 3000);
}

TEST_F(PulseInputs, EngineSpeedFollowsTheInjectionPeriodAndItsScaling) {
  for (uint8_t type : {1, 2, 3}) {
    injtype = type;
    const Time t0 = now() + ms(10);
    petrol.low_pulse(t0, ms(3));
    petrol.low_pulse(t0 + ms(20), ms(3));
    run_to(t0 + ms(25));
    EXPECT_EQ(rpm, type == 1 ? 3000 : type == 2 ? 6000 : 9999) << "injtype " << int(type);
  }
}

TEST_F(PulseInputs, SpeedFilterAndDistancePerPulse) {
  SPD_CAL = 1.0f;
  // A first pulse starts the measurement; then one every 10 ms (100 Hz = 100 km/h).
  Time t = now() + ms(10);
  wheel.high_pulse(t, ms(1));
  run_to(t + ms(2));
  const double dist = distpb;
  const float expected[] = {10.0f, 19.0f, 27.1f};
  for (float e : expected) {
    t += ms(10);
    wheel.high_pulse(t, ms(1));
    run_to(t + ms(2));
    EXPECT_NEAR(speed, e, 0.05f);
  }
  EXPECT_NEAR(distpb - dist, 3.0 / 3600.0, 1e-12);
  EXPECT_EQ(distlpg, 0.0);
}

TEST_F(PulseInputs, LevelInstallationCountsPetrolPulsesAsLpgFromTheNextInjection) {
  lpgtype = 2;
  PB_CAL = 1.0f;
  LPG_CAL = 2.0f;
  lpg.set(false);
  Time t = now() + ms(10);
  petrol.low_pulse(t, ms(3));  // on petrol
  run_to(t + ms(5));
  EXPECT_EQ(IsOnLpg, 0);
  const double pb0 = pbcons, lpg0 = lpgcons;
  lpg.set(true);  // the installation switches to LPG
  t += ms(20);
  petrol.low_pulse(t, ms(3));  // still counted as petrol; it finds LPG active
  run_to(t + ms(5));
  EXPECT_EQ(IsOnLpg, 1);
  EXPECT_NEAR(pbcons - pb0, 0.00003, 1e-10);
  EXPECT_EQ(lpgcons, lpg0);
  t += ms(20);
  petrol.low_pulse(t, ms(3));  // counted as LPG with the LPG calibration
  run_to(t + ms(5));
  EXPECT_NEAR(lpgcons - lpg0, 0.00006, 1e-10);
  EXPECT_NEAR(pbcons - pb0, 0.00003, 1e-10);
}

TEST_F(PulseInputs, SequentialLpgSkipsPetrolEdgesUntilLpgInjectionsStop) {
  lpgtype = 1;
  Time t = now() + ms(10);
  // Cycles of a petrol signal and an LPG injection 0.3 ms after it. The
  // first petrol injection still counts: the car is on petrol until the
  // first LPG injection.
  for (int i = 0; i < 5; ++i, t += ms(25)) {
    petrol.low_pulse(t, ms(3));
    lpg.low_pulse(t + ms(0.3), ms(4));
  }
  run_to(t);
  EXPECT_EQ(IsOnLpg, 1);
  EXPECT_NEAR(pbcons, 0.00003, 1e-10);
  EXPECT_NEAR(lpgcons, 5 * 0.00004, 1e-10);
  EXPECT_NEAR(injtime, 4.0f, 2e-5f);
  // LPG stops. Only every third petrol edge is taken while the car is still
  // on LPG: the first two are skipped, the third (the next opening) is taken.
  const uint32_t stamp = rpmtickpb;
  petrol.low_pulse(t, ms(3));
  run_to(t + ms(10));
  EXPECT_EQ(rpmtickpb, stamp);
  petrol.low_pulse(t + ms(25), ms(3));
  run_to(t + ms(26));
  EXPECT_NE(rpmtickpb, stamp);
  EXPECT_EQ(IsOnLpg, 1);
  // The sixth edge, a closing, ends an injection and brings the car back
  // to petrol.
  petrol.low_pulse(t + ms(50), ms(3));
  run_to(t + ms(60));
  EXPECT_EQ(IsOnLpg, 0);
  EXPECT_GT(pbcons, 0.00003);
}

TEST_F(PulseInputs, EncoderDirectionFollowsTheDataLineAndTheInversionSetting) {
  // The main screen takes each step: forward is the next trip channel.
  sim::RotaryEncoder knob(machine);
  enc_inv = 0;
  active_ch = 1;
  knob.turn(1);
  run_for(ms(200));
  EXPECT_EQ(active_ch, 2);
  knob.turn(-1);
  run_for(ms(200));
  EXPECT_EQ(active_ch, 1);
  enc_inv = 1;
  knob.turn(1);
  run_for(ms(200));
  EXPECT_EQ(active_ch, 3);
  EXPECT_EQ(enc, 0);
}

// Two openings at one counter value give an injection period of 0; the
// engine speed is then left as it was instead of dividing by zero. Such
// edges come before the start-up has set the pulse counter running.
TEST(PulseInputsAtStartUp, ZeroInjectionPeriodLeavesEngineSpeedUnchanged) {
  host::Machine machine(host::LinkedFirmware::instance());
  sim::Board board(machine);
  sim::IgnitionSwitch ignition(board);
  Signal petrol(machine, pins::wtr_pb, host::Drive::High);
  ignition.set(true);
  // Step until the pin-change interrupts are on.
  while (!(machine.gpio().level(pins::wtr_pb) && EXTI->IMR & GPIO_PIN_12)) machine.run_for(us(1));
  ASSERT_EQ(htim2.State, HAL_TIM_STATE_RESET);
  const Time t = machine.now();
  petrol.at(t + us(2), false);  // opening
  petrol.at(t + us(4), true);   // closing with no time measured
  petrol.at(t + us(6), false);  // opening at the same counter value
  while (htim2.State != HAL_TIM_STATE_BUSY) machine.run_for(us(1));
  ASSERT_EQ(rpmmpb, 0u);
  petrol.at(machine.now() + ms(3), true);  // a valid closing once the counter runs
  machine.run_for(ms(5));
  EXPECT_NEAR(injtime, 3.0f, 0.01f);
  EXPECT_EQ(rpm, 0);
}

}  // namespace
