// The 24C08 model as its data sheet has it: addressing, page buffer, write
// cycle, sequential reads, and its faults.
#include <gtest/gtest.h>

#include "host/machine.h"
#include "sim/eeprom24c08.h"

namespace {

using host::from_ms;

class Chip : public ::testing::Test {
 protected:
  Chip() { machine.set_powered(true); }
  // A write transaction as the bus delivers it, ending with a stop.
  void write(host::Time t, std::uint8_t address, std::vector<std::uint8_t> bytes) {
    ASSERT_TRUE(chip.i2c_start(t, address, false));
    for (std::uint8_t b : bytes) ASSERT_TRUE(chip.i2c_write(t, b));
    chip.i2c_stop(t);
  }
  std::vector<std::uint8_t> read(host::Time t, std::uint8_t address, std::uint8_t word, int n) {
    std::vector<std::uint8_t> out;
    if (!chip.i2c_start(t, address, false) || !chip.i2c_write(t, word) || !chip.i2c_start(t, address, true)) return out;
    for (int i = 0; i < n; ++i) out.push_back(chip.i2c_read(t, i + 1 < n));
    chip.i2c_stop(t);
    return out;
  }
  host::Machine machine{host::LinkedFirmware::instance()};
  sim::Eeprom24c08 chip{machine};
};

TEST_F(Chip, APageIsProgrammedAfterTheStopAndWrapsInsideThePage) {
  // 5 bytes from 0x1E of block 1: 0x1E, 0x1F, then 0x10, 0x11, 0x12.
  write(0, 0x51, {0x1E, 1, 2, 3, 4, 5});
  EXPECT_EQ(chip.memory()[0x11E], 0xFF);  // not yet: the write cycle runs
  EXPECT_FALSE(chip.i2c_start(from_ms(2), 0x50, false));  // and the chip does not answer
  machine.run_until(from_ms(6));
  EXPECT_EQ(chip.memory()[0x11E], 1);
  EXPECT_EQ(chip.memory()[0x11F], 2);
  EXPECT_EQ(chip.memory()[0x110], 3);
  EXPECT_EQ(chip.memory()[0x112], 5);
  EXPECT_EQ(chip.memory()[0x120], 0xFF);
  EXPECT_EQ(chip.pages_programmed(), 1u);
}

TEST_F(Chip, SequentialReadsRollOverAtTheEndOfTheMemory) {
  std::vector<std::uint8_t> image(1024, 0);
  for (int i = 0; i < 1024; ++i) image[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7);
  chip.load(image);
  const auto got = read(0, 0x53, 0xFE, 4);  // 0x3FE, 0x3FF, then 0, 1
  EXPECT_EQ(got, (std::vector<std::uint8_t>{image[0x3FE], image[0x3FF], image[0], image[1]}));
}

TEST_F(Chip, PowerLostDuringTheWriteCycleLosesThatPageOnly) {
  write(0, 0x50, {0x00, 0xAA, 0xAB});
  machine.run_until(from_ms(10));
  write(from_ms(10), 0x50, {0x10, 0xBA, 0xBB});
  machine.set_powered(false);  // within the second page's write cycle
  machine.run_until(from_ms(20));
  EXPECT_EQ(chip.memory()[0x00], 0xAA);
  EXPECT_EQ(chip.memory()[0x10], 0xFF);
  EXPECT_EQ(chip.pages_lost(), 1u);
  EXPECT_FALSE(chip.i2c_start(from_ms(21), 0x50, true));  // nothing answers without power
}

TEST_F(Chip, AbsentOrSilentFromAChosenTime) {
  chip.stop_answering_at(from_ms(50));
  EXPECT_TRUE(chip.i2c_start(from_ms(49), 0x50, true));
  chip.i2c_stop(from_ms(49));
  EXPECT_FALSE(chip.i2c_start(from_ms(50), 0x50, true));
  chip.set_absent(true);
  EXPECT_FALSE(chip.i2c_start(0, 0x52, false));
}

TEST_F(Chip, TheBusRefusesASecondDeviceOnItsAddresses) {
  EXPECT_THROW(sim::Eeprom24c08 other(machine), std::invalid_argument);
}

}  // namespace
