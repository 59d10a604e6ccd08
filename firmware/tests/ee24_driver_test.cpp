// The EEPROM driver against the 24C08 on the bus: pages, blocks, the write
// cycle wait, the busy flag and the time limit.
#include <cstring>
#include <vector>

#include "ee24.h"
#include "firmware_call.h"
#include "sim/eeprom24c08.h"

namespace {

using bench::FirmwareCall;
using bench::I2cLog;
using host::Time;

std::vector<std::uint8_t> counting(std::size_t n, std::uint8_t first = 0) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + i);
  return v;
}

class Ee24 : public FirmwareCall {
 protected:
  sim::Eeprom24c08 chip{machine()};
  I2cLog bus{machine()};
};

TEST_F(Ee24, WritesSplitAtPagesWithAWaitAfterEach) {
  auto five = counting(5, 0x40);
  auto two_hundred = counting(200, 0x80);
  bool ok5 = false, ok200 = false;
  Time start = 0, took = 0;
  call([&] {
    ok5 = ee24_write(14, five.data(), 5, 500);
    start = host::Machine::current().now();
    ok200 = ee24_write(0x100, two_hundred.data(), 200, 1000);
    took = host::Machine::current().now() - start;
  });
  ASSERT_TRUE(ok5);
  ASSERT_TRUE(ok200);
  // 5 bytes at 14: 2 to the end of page 0, then 3 at 16.
  ASSERT_GE(bus.log.size(), 2u);
  EXPECT_EQ(bus.log[0].address, 0x50);
  EXPECT_EQ(bus.log[0].written, (std::vector<std::uint8_t>{14, 0x40, 0x41}));
  EXPECT_EQ(bus.log[1].written, (std::vector<std::uint8_t>{16, 0x42, 0x43, 0x44}));
  // 200 bytes: 12 pages of 16 and one of 8, each followed by its 10 ms wait.
  ASSERT_EQ(bus.log.size(), 2u + 13u);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(bus.log[2 + i].written.size(), 17u);
  EXPECT_EQ(bus.log[14].written.size(), 9u);
  EXPECT_GE(host::to_ms(took), 129.0);
  EXPECT_LE(host::to_ms(took), 155.0);
  // The chip holds what was written.
  EXPECT_EQ(0, std::memcmp(chip.memory().data() + 14, five.data(), 5));
  EXPECT_EQ(0, std::memcmp(chip.memory().data() + 0x100, two_hundred.data(), 200));
}

TEST_F(Ee24, AWriteRunsAcrossBlocksWithEachChunksDeviceAddress) {
  auto bytes = counting(16, 1);
  std::vector<std::uint8_t> back(16, 0);
  call([&] {
    ee24_write(0x1F8, bytes.data(), 16, 500);
    ee24_read(0x1F8, back.data(), 8, 500);
    ee24_read(0x200, back.data() + 8, 8, 500);
  });
  ASSERT_GE(bus.log.size(), 2u);
  EXPECT_EQ(bus.log[0].address, 0x51);  // 0xA2
  EXPECT_EQ(bus.log[0].written.front(), 0xF8);
  EXPECT_EQ(bus.log[0].written.size(), 9u);
  EXPECT_EQ(bus.log[1].address, 0x52);  // 0xA4
  EXPECT_EQ(bus.log[1].written.front(), 0x00);
  EXPECT_EQ(back, bytes);
}

TEST_F(Ee24, BusyDriverRefusesWithoutTouchingTheBusOrTheLock) {
  std::uint8_t b[4] = {1, 2, 3, 4};
  bool w = true, r = true;
  std::uint8_t lock_after = 0;
  call([&] {
    ee24_lock = 1;
    w = ee24_write(0, b, 4, 500);
    r = ee24_read(0, b, 4, 500);
    lock_after = ee24_lock;
    ee24_lock = 0;
  });
  EXPECT_FALSE(w);
  EXPECT_FALSE(r);
  EXPECT_EQ(lock_after, 1);
  EXPECT_TRUE(bus.log.empty());
  EXPECT_EQ(b[0], 1);
}

TEST_F(Ee24, ATimeLimitShorterThanAPageStillWritesTheFirstPage) {
  auto bytes = counting(40, 0x10);
  bool multi = true, single = false;
  call([&] {
    multi = ee24_write(0, bytes.data(), 40, 1);
    single = ee24_write(0x40, bytes.data(), 16, 0);
  });
  EXPECT_FALSE(multi);
  EXPECT_TRUE(single);
  EXPECT_EQ(0, std::memcmp(chip.memory().data(), bytes.data(), 16));
  EXPECT_EQ(chip.memory()[16], 0xFF);  // the second page was not attempted
  EXPECT_EQ(0, std::memcmp(chip.memory().data() + 0x40, bytes.data(), 16));
}

TEST_F(Ee24, WithoutAChipEveryCallFailsAndAReadLeavesItsBuffer) {
  chip.set_absent(true);
  std::uint8_t b[4] = {9, 9, 9, 9};
  bool w = true, r = true;
  std::uint8_t lock_after = 1;
  call([&] {
    w = ee24_write(0, b, 4, 500);
    r = ee24_read(0, b, 4, 500);
    lock_after = ee24_lock;
  });
  EXPECT_FALSE(w);
  EXPECT_FALSE(r);
  EXPECT_EQ(lock_after, 0);
  EXPECT_EQ(b[0], 9);
  EXPECT_EQ(b[3], 9);
}

}  // namespace
