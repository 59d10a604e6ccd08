// A system reset or a loss of power runs the firmware again from its reset
// state, with every global at its start value, while time and the world go on.
#include "platform_fixture.h"
#include "vehicle_state.h"

namespace test {
namespace {

int boots_seen;
float spd_cal_at_boot;
uint8_t drawlumo_at_boot;
Time boot_time;
bool reset_now;

int reset_main() {
  ++boots_seen;
  spd_cal_at_boot = SPD_CAL;
  drawlumo_at_boot = drawlumo;
  boot_time = now();
  board_clocks();
  // Disturb the firmware's state, then wait to be told to reset.
  SPD_CAL = 2.5f;
  drawlumo = 0;
  distpb = 12.0;
  while (!reset_now) __NOP();
  reset_now = false;
  __NVIC_SystemReset();
}

TEST(FirmwareImage, TestsAndFirmwareShareOneCopyOfEachGlobal) {
  EXPECT_EQ(host::LinkedFirmware::instance().symbol("SPD_CAL"), static_cast<void*>(&SPD_CAL));
  EXPECT_EQ(host::LinkedFirmware::instance().symbol("htim3"), static_cast<void*>(&htim3));
}

class Reset : public PlatformTest {
 protected:
  Reset() {
    boots_seen = 0;
    reset_now = false;
    image_.provide("main", &reset_main);
    start(image_);
  }
  TestImage image_;
};

TEST_F(Reset, SystemResetRestartsFromTheResetState) {
  machine().run_until(ms(10));
  EXPECT_EQ(boots_seen, 1);
  EXPECT_EQ(SPD_CAL, 2.5f);
  reset_now = true;
  machine().run_until(ms(20));
  EXPECT_EQ(boots_seen, 2);
  EXPECT_EQ(spd_cal_at_boot, 1.0f);
  EXPECT_EQ(drawlumo_at_boot, 1);
  EXPECT_GE(boot_time, ms(10));  // time went on
  EXPECT_EQ(machine().stats().boots, 2u);
}

TEST_F(Reset, PowerLossStopsTheProcessorAndPowerUpBootsAfresh) {
  machine().run_until(ms(10));
  machine().set_powered(false);
  EXPECT_EQ(machine().context_name(), "off");
  machine().run_until(s(5));
  EXPECT_EQ(boots_seen, 1);
  EXPECT_EQ(distpb, 12.0);  // what the RAM held when the power went
  machine().set_powered(true);
  machine().run_until(s(5) + ms(1));
  EXPECT_EQ(boots_seen, 2);
  EXPECT_EQ(spd_cal_at_boot, 1.0f);
  EXPECT_GE(boot_time, s(5));
}

}  // namespace
}  // namespace test
