// The analog inputs through the ADC: the petrol sender's battery
// compensation, the level filters and when they move, the clamped mapping,
// and the battery and auxiliary voltages.
#include <cmath>

#include "analog_inputs.h"
#include "bench.h"
#include "vehicle_state.h"

namespace {

using namespace bench;

// A voltage at an ADC pin that converts to exactly the given counts.
struct Counts : host::AnalogInput {
  double counts = 0;
  double voltage(Time) override { return counts / 4095.0 * 3.3; }
};

class AnalogInputs : public Bench {
 protected:
  AnalogInputs() {
    machine.adc1().attach(2, &petrol);
    machine.adc1().attach(3, &lpg);
    machine.adc1().attach(4, &battery);
    machine.adc1().attach(0, &aux);
    battery.counts = 2361;  // 12.0 V
    boot();
  }
  ~AnalogInputs() override {
    for (int ch : {0, 2, 3, 4}) machine.adc1().attach(ch, nullptr);
  }
  // Runs on until the ADC task has made its next pass.
  void next_pass() {
    pblvlraw = -1;
    run_while([] { return pblvlraw == -1; }, ms(400), ms(1));
    ASSERT_NE(pblvlraw, -1);
  }
  Counts petrol, lpg, battery, aux;
};

TEST_F(AnalogInputs, PetrolReadingIsCompensatedForTheBatteryVoltage) {
  petrol.counts = 2000;
  voltage = 12.0f;
  next_pass();
  EXPECT_EQ(pblvlraw, 2000);
  voltage = 14.0f;
  next_pass();
  EXPECT_EQ(pblvlraw, 1666);
  pbcomp = 0;
  next_pass();
  EXPECT_EQ(pblvlraw, 2000);
}

// A stored Voltage_CAL far below zero passes the record check and drives the
// compensation beyond int: the reading saturates as the processor's
// conversion does (not-a-number to 0), the same on the host as on the chip.
TEST_F(AnalogInputs, ACompensationBeyondIntSaturatesAsOnTheProcessor) {
  petrol.counts = 2000;
  flvl = {0, 4095, 0, 4095};
  pblvl = 0.5f;
  Voltage_CAL = -1e30f;
  voltage = -1e30f;
  next_pass();
  EXPECT_EQ(pblvlraw, 2147483647);
  EXPECT_EQ(pblvl, (float)(0.5 * 0.95 + 1.0 * 0.05));  // the saturated reading maps to full
  Voltage_CAL = 1e30f;
  voltage = 1e30f;
  next_pass();
  EXPECT_EQ(pblvlraw, -2147483647 - 1);
  voltage = NAN;
  next_pass();
  EXPECT_EQ(pblvlraw, 0);
}

TEST_F(AnalogInputs, TankLevelFiltersTowardTheMappedReadingWhileTheIgnitionIsOn) {
  flvl = {500, 3500, 0, 4095};
  petrol.counts = 2000;
  voltage = 12.0f;
  pblvl = 0.0f;
  next_pass();
  EXPECT_EQ(pblvl, (float)(0.0 * 0.95 + 0.5 * 0.05));
  const float after_one = pblvl;
  next_pass();
  EXPECT_EQ(pblvl, (float)((double)after_one * 0.95 + 0.5 * 0.05));
  // With the ignition off (the unit held on by its relay) the level stays.
  ignition.set(false);
  const float held = pblvl;
  next_pass();
  next_pass();
  EXPECT_EQ(pblvl, held);
}

TEST_F(AnalogInputs, SendersThatFallAsTheTankFillsMapTheSameWay) {
  EXPECT_FLOAT_EQ(map(1000.0f, 3500.0f, 500.0f, 0.0f, 1.0f), 2500.0f / 3000.0f);
  EXPECT_EQ(map(4000.0f, 3500.0f, 500.0f, 0.0f, 1.0f), 0.0f);  // clamped
  EXPECT_EQ(map(100.0f, 3500.0f, 500.0f, 0.0f, 1.0f), 1.0f);
  // A calibration with both ends at one reading gives 0 or 1.
  EXPECT_EQ(map(2000.0f, 2000.0f, 2000.0f, 0.0f, 1.0f), 1.0f);
  EXPECT_EQ(map(2500.0f, 2000.0f, 2000.0f, 0.0f, 1.0f), 1.0f);
  EXPECT_EQ(map(1500.0f, 2000.0f, 2000.0f, 0.0f, 1.0f), 0.0f);
  EXPECT_EQ(map(NAN, 0.0f, 1.0f, 0.0f, 1.0f), 1.0f);  // a value that is not a number loses
}

TEST_F(AnalogInputs, LpgLevelIsFrozenWhileTheEngineRunsOnPetrolOrStands) {
  flvl = {0, 4095, 0, 4095};
  lpglvl = 0.25f;
  lpg.counts = 4000;
  IsOnLpg = 0;
  rpm = 2500;
  next_pass();
  next_pass();
  EXPECT_EQ(lpglvl, 0.25f);
  EXPECT_EQ(lpglvlraw, 4000);
}

TEST_F(AnalogInputs, BatteryVoltageFiltersAndTheAuxiliaryInputDoesNot) {
  voltage = 0.0f;
  aux.counts = 879;
  next_pass();
  EXPECT_EQ(voltage, (float)(2361.0 / 196.75 * 0.1));
  EXPECT_EQ(aux_voltage, 4.0f);
  for (int i = 0; i < 90; ++i) next_pass();
  EXPECT_NEAR(voltage, 12.0f, 0.01f);
  Voltage_CAL = 1.1f;
  for (int i = 0; i < 90; ++i) next_pass();
  EXPECT_NEAR(voltage, 13.2f, 0.01f);
}

}  // namespace
