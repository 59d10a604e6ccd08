// The lines outside the chip: levels resolved from every party's drive, and
// the parties told of each change, even when one of them changes the set of
// parties told while it is being told.
#include "host/gpio.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace test {
namespace {

constexpr host::PinId kPin = host::pin_id('B', 9);

// Calls `react` (if any) on every change it is told of, after noting it.
class Watcher final : public host::PinListener {
 public:
  Watcher(std::vector<std::pair<int, bool>>& seen, int id) : seen_(seen), id_(id) {}
  void on_pin_level(host::PinId, host::Time, bool level) override {
    seen_.emplace_back(id_, level);
    if (react) react();
  }
  std::function<void()> react;

 private:
  std::vector<std::pair<int, bool>>& seen_;
  int id_;
};

TEST(Gpio, ALevelComesFromTheStrongestDriveAndEveryChangeIsTold) {
  host::Gpio gpio;
  std::vector<std::pair<int, bool>> seen;
  Watcher w(seen, 1);
  gpio.add_listener(kPin, &w);
  const auto pull = gpio.add_driver(kPin, host::Drive::PullUp);
  EXPECT_TRUE(gpio.level(kPin));
  const auto sensor = gpio.add_driver(kPin, host::Drive::Low);
  EXPECT_FALSE(gpio.level(kPin));
  gpio.set_drive(sensor, host::Drive::None);
  gpio.set_drive(pull, host::Drive::PullDown);
  EXPECT_FALSE(gpio.level(kPin));
  EXPECT_FALSE(gpio.level(host::pin_id('B', 8)));  // a neighbour stays as it was
  EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{1, true}, {1, false}, {1, true}, {1, false}}));
  gpio.remove_listener(kPin, &w);
  gpio.set_drive(pull, host::Drive::PullUp);
  EXPECT_EQ(seen.size(), 4u);
}

TEST(Gpio, ListenersThatRegisterOrLeaveWhileToldDoNotDisturbTheOthers) {
  host::Gpio gpio;
  const auto d = gpio.add_driver(kPin, host::Drive::Low);
  std::vector<std::pair<int, bool>> seen;
  Watcher first(seen, 1), second(seen, 2), third(seen, 3), late(seen, 4);
  gpio.add_listener(kPin, &first);
  gpio.add_listener(kPin, &second);
  gpio.add_listener(kPin, &third);
  // The first leaves and brings in another; the others are still told of
  // this change, the newcomer only of the next one.
  first.react = [&] {
    gpio.remove_listener(kPin, &first);
    gpio.add_listener(kPin, &late);
  };
  gpio.set_drive(d, host::Drive::High);
  EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{1, true}, {2, true}, {3, true}}));
  seen.clear();
  gpio.set_drive(d, host::Drive::Low);
  EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{2, false}, {3, false}, {4, false}}));
}

// The chip's own side: a push-pull output's line follows its latch until
// another party drives it or the pin goes open-drain, and each of a port's
// pins is told of in pin order, whichever way it is resolved.
TEST(Gpio, AnOutputFollowsItsLatchUntilAnotherPartyOrOpenDrainTakesPart) {
  host::Gpio gpio;
  gpio.reset_registers();
  constexpr int kPortB = 1;
  gpio.set_clock_enabled(kPortB, true);
  std::vector<std::pair<int, bool>> seen;
  Watcher pin8(seen, 8), pin9(seen, 9);
  gpio.add_listener(host::pin_id('B', 8), &pin8);
  gpio.add_listener(kPin, &pin9);
  const std::uint32_t moder = gpio.read(kPortB, host::Gpio::MODER) & ~(0xFu << 16);
  gpio.write(kPortB, host::Gpio::MODER, moder | (0x5u << 16));  // B8 and B9 outputs
  gpio.write_bsrr(kPortB, (1u << 9) | (1u << 8));
  gpio.write_bsrr(kPortB, 1u << 9);  // no latch changes: nobody is told
  EXPECT_TRUE(gpio.level(kPin));
  gpio.write_bsrr(kPortB, (1u << (16 + 9)) | (1u << (16 + 8)));
  EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{8, true}, {9, true}, {8, false}, {9, false}}));
  seen.clear();

  // A sensor pulling B9 low meets the latch's strong high.
  const auto sensor = gpio.add_driver(kPin, host::Drive::Low);
  gpio.write_bsrr(kPortB, 1u << 9);
  EXPECT_FALSE(gpio.level(kPin));
  EXPECT_EQ(gpio.contentions(), 1u);
  gpio.set_drive(sensor, host::Drive::PullUp);
  EXPECT_TRUE(gpio.level(kPin));

  // Open-drain: a high latch lets go of the line, a low one holds it.
  gpio.set_drive(sensor, host::Drive::None);
  gpio.write(kPortB, host::Gpio::OTYPER, 1u << 8);
  gpio.write_bsrr(kPortB, 1u << 8);
  EXPECT_FALSE(gpio.level(host::pin_id('B', 8)));  // no pull: it keeps its level
  gpio.write(kPortB, host::Gpio::OTYPER, 0);
  EXPECT_TRUE(gpio.level(host::pin_id('B', 8)));
  gpio.write(kPortB, host::Gpio::MODER, moder);  // inputs again: nothing drives them
  gpio.write_bsrr(kPortB, 1u << (16 + 8));
  EXPECT_TRUE(gpio.level(host::pin_id('B', 8)));
  gpio.unpowered();
  EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{9, true}, {8, true}}));
}

}  // namespace
}  // namespace test
