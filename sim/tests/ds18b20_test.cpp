// The DS18B20 model on its line, with the test as the 1-Wire master: the
// ROM commands, the scratchpad written and read back, and the conversion
// time of the resolution set.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "host/machine.h"
#include "idle_image.h"
#include "sim/board.h"
#include "sim/ds18b20.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class OneWireLine : public ::testing::Test {
 protected:
  OneWireLine() { machine.set_powered(true); }

  void hold(host::Drive drive, int us) {
    machine.gpio().set_drive(master_, drive);
    machine.run_for(us * host::kTimePerUs);
  }
  // A reset pulse; true when a sensor answered with its presence pulse.
  bool reset() {
    hold(host::Drive::Low, 500);
    hold(host::Drive::None, 70);
    const bool present = !machine.gpio().level(sim::pins::temp);
    hold(host::Drive::None, 430);
    return present;
  }
  void write_bit(bool bit) {
    hold(host::Drive::Low, bit ? 6 : 60);
    hold(host::Drive::None, bit ? 64 : 10);
  }
  bool read_bit() {
    hold(host::Drive::Low, 6);
    hold(host::Drive::None, 9);
    const bool bit = machine.gpio().level(sim::pins::temp);
    hold(host::Drive::None, 55);
    return bit;
  }
  void write(const Bytes& bytes) {
    for (std::uint8_t b : bytes)
      for (int i = 0; i < 8; ++i) write_bit((b >> i) & 1);
  }
  Bytes read(int n) {
    Bytes out;
    for (int k = 0; k < n; ++k) {
      std::uint8_t b = 0;
      for (int i = 0; i < 8; ++i) b |= static_cast<std::uint8_t>(read_bit() << i);
      out.push_back(b);
    }
    return out;
  }
  Bytes rom() const { return {sensor.rom().begin(), sensor.rom().end()}; }

  test::TestImage image = idle_image();
  host::Machine machine{image};
  host::Gpio::DriverId pullup_ = machine.gpio().add_driver(sim::pins::temp, host::Drive::PullUp);
  host::Gpio::DriverId master_ = machine.gpio().add_driver(sim::pins::temp);
  sim::Ds18b20 sensor{machine, sim::pins::temp, sim::Ds18b20::rom_for(0x0000DEADBEEFull)};
};

TEST_F(OneWireLine, ReadRomSendsTheCodeAndThenTakesAFunctionCommand) {
  ASSERT_TRUE(reset());
  write({0x33});
  EXPECT_EQ(read(8), rom());
  write({0xBE});  // read scratchpad: the power-up contents
  const Bytes pad = read(9);
  EXPECT_EQ(sim::Ds18b20::crc8(pad.data(), 9), 0);
  EXPECT_EQ(pad[0], 0x50);  // +85 °C
  EXPECT_EQ(pad[1], 0x05);
  EXPECT_EQ(pad[4], 0x7F);  // 12 bits
}

TEST_F(OneWireLine, MatchRomSelectsOnlyTheSensorWithThatCode) {
  Bytes other = rom();
  other[3] ^= 0x40;
  ASSERT_TRUE(reset());
  write({0x55});
  write(other);
  write({0xBE});
  EXPECT_EQ(read(2), (Bytes{0xFF, 0xFF}));  // nobody answers
  ASSERT_TRUE(reset());
  write({0x55});
  write(rom());
  write({0xBE});
  EXPECT_EQ(read(2), (Bytes{0x50, 0x05}));
}

TEST_F(OneWireLine, WriteScratchpadSetsTheAlarmsAndTheResolutionOfTheNextConversion) {
  ASSERT_TRUE(reset());
  write({0xCC, 0x4E, 0x12, 0x34, 0x1F});  // TH, TL, 9 bits
  ASSERT_TRUE(reset());
  write({0xCC, 0xBE});
  const Bytes pad = read(9);
  EXPECT_EQ(sim::Ds18b20::crc8(pad.data(), 9), 0);
  EXPECT_EQ(pad[2], 0x12);
  EXPECT_EQ(pad[3], 0x34);
  EXPECT_EQ(pad[4], 0x1F);
  // A 9-bit conversion takes 93.75 ms; read slots read 0 until it is done.
  ASSERT_TRUE(reset());
  write({0xCC, 0x44});
  EXPECT_FALSE(read_bit());
  machine.run_for(90 * host::kTimePerMs);
  EXPECT_FALSE(read_bit());
  machine.run_for(5 * host::kTimePerMs);
  EXPECT_TRUE(read_bit());
  EXPECT_EQ(sensor.conversions(), 1u);
}

}  // namespace
