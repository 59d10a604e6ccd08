// The fixtures that run firmware code in thread mode: each body runs after
// the board set-up, and a body that does not return fails the test and keeps
// the fixture from running anything more.
#include <gtest/gtest-spi.h>

#include <vector>

#include "firmware_call.h"

namespace test {
namespace {

class Runner : public bench::FirmwareCall {};

TEST_F(Runner, BodiesRunOneAfterTheOtherInThreadModeOnTheSetUpBoard) {
  std::vector<int> order;
  std::uint32_t ipsr = 1;
  bool i2c_ready = false;
  call([&] {
    order.push_back(1);
    ipsr = __get_IPSR();
    i2c_ready = hi2c1.State == HAL_I2C_STATE_READY;
  });
  call([&] { order.push_back(2); });
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(ipsr, 0u);
  EXPECT_TRUE(i2c_ready);
}

TEST_F(Runner, ABodyThatDoesNotReturnFailsAndNothingMoreRuns) {
  EXPECT_NONFATAL_FAILURE(call([] { for (;;) __NOP(); }, ms(5)), "did not return within");
  bool ran = false;
  EXPECT_NONFATAL_FAILURE(call([&] { ran = true; }), "has not returned");
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace test
