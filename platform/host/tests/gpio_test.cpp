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

}  // namespace
}  // namespace test
