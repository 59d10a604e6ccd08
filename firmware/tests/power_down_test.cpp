// Ignition off: the unit holds its own power through the relay for `offtime`
// minutes, then lets go; an ignition that comes back first cancels that.
#include "bench.h"
#include "stm32f4xx_hal.h"
#include "vehicle_state.h"

namespace {

using namespace bench;
namespace pins = sim::pins;

class PowerDown : public Bench {
 protected:
  PowerDown() { boot(); }
};

TEST_F(PowerDown, RelayDropsOfftimeMinutesAfterTheWait) {
  offtime = 1.0f;
  ASSERT_TRUE(level(pins::relay));
  const Time off = now();
  ignition.set(false);
  run_to(off + ms(200));
  EXPECT_EQ(rpm, 0);
  EXPECT_EQ(drawlumo, 1);  // the OLED shows the logo
  run_to(off + s(60.4));
  EXPECT_TRUE(level(pins::relay));
  EXPECT_TRUE(machine.powered());
  // The ignition is seen at the next pass of the main loop, and the screen
  // is cleared before the wait: the relay goes within 0.2 s after the minute.
  run_to(off + s(60.8));
  EXPECT_FALSE(level(pins::relay));
  EXPECT_FALSE(machine.powered());
}

TEST_F(PowerDown, OfftimeZeroDropsTheRelayRightAfterTheFiveSecondWait) {
  offtime = 0.0f;
  const Time off = now();
  ignition.set(false);
  run_to(off + s(5.45));
  EXPECT_TRUE(machine.powered());
  run_to(off + s(5.8));
  EXPECT_FALSE(machine.powered());
}

TEST_F(PowerDown, IgnitionBackDuringTheWaitReturnsToTheMainLoop) {
  offtime = 1.0f;
  const Time off = now();
  ignition.set(false);
  run_to(off + s(10));
  ignition.set(true);
  run_to(off + s(10.1));
  EXPECT_EQ(drawlumo, 0);  // the gauge again
  EXPECT_TRUE(level(pins::relay));
  // A second ignition off goes through the whole wait again.
  const Time off2 = off + s(20);
  run_to(off2);
  ignition.set(false);
  run_to(off2 + s(60.4));
  EXPECT_TRUE(machine.powered());
  run_to(off2 + s(60.8));
  EXPECT_FALSE(machine.powered());
  EXPECT_EQ(machine.stats().boots, 1u);
}

// The relay lets go, and the key is turned on again before the supply is
// gone. The unit must take the power back through the relay, or the next
// ignition off would cut it at once, before the record is written.
TEST_F(PowerDown, IgnitionBackJustAfterTheRelayDroppedEnergisesItAgain) {
  offtime = 0.0f;
  const Time off = now();
  ignition.set(false);
  while (level(pins::relay)) run_for(us(100));
  const Time dropped = now();
  ASSERT_LT(dropped - off, s(5.8));
  ignition.set(true);  // within the supply's hold-up time
  run_for(ms(150));
  ASSERT_TRUE(machine.powered());
  EXPECT_TRUE(level(pins::relay));
  ignition.set(false);
  run_for(s(2));
  EXPECT_TRUE(machine.powered());  // waiting out the power-down again
  EXPECT_EQ(machine.stats().boots, 1u);
}

TEST_F(PowerDown, ANewPowerUpStartsFromTheResetState) {
  SPD_CAL = 2.0f;
  distpb = 3.5;
  offtime = 0.0f;
  ignition.set(false);
  run_for(s(10));
  ASSERT_FALSE(machine.powered());
  ignition.set(true);
  run_for(ms(100));
  EXPECT_EQ(machine.stats().boots, 2u);
  EXPECT_EQ(SPD_CAL, 1.0f);
  EXPECT_EQ(distpb, 0.0);
  EXPECT_EQ(drawlumo, 1);
  EXPECT_LT(HAL_GetTick(), 150u);
}

}  // namespace
