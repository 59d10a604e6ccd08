// The 1-Wire master and the DS18B20 read-out against the sensor model on the
// line: CRC, the ROM search, the temperature arithmetic, and the faults.
#include <vector>

#include "firmware_call.h"
#include "sim/board.h"
#include "sim/ds18b20.h"
#include "tm_stm32_ds18b20.h"

namespace {

using bench::FirmwareCall;
using host::Time;

class OneWire : public FirmwareCall {
 protected:
  OneWire() { machine().gpio().add_driver(sim::pins::temp, host::Drive::PullUp); }
  sim::Ds18b20 sensor{machine(), sim::pins::temp, sim::Ds18b20::rom_for(0x0000DEADBEEFull)};
  TM_OneWire_t ow{};
};

TEST(Crc8, MatchesTheDallasCodeAndChecksToZeroOverAValidCode) {
  uint8_t rom[8] = {0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00, 0xA2};
  EXPECT_EQ(TM_OneWire_CRC8(rom, 7), 0xA2);
  EXPECT_EQ(TM_OneWire_CRC8(rom, 8), 0x00);
  auto code = sim::Ds18b20::rom_for(0x123456789ABCull);
  EXPECT_EQ(TM_OneWire_CRC8(code.data(), 8), 0x00);
  uint8_t pad[9] = {0x50, 0x05, 0x4B, 0x46, 0x7F, 0xFF, 0x0C, 0x10, 0};
  pad[8] = TM_OneWire_CRC8(pad, 8);
  EXPECT_EQ(TM_OneWire_CRC8(pad, 9), 0x00);
  uint8_t rom_code[8] = {0x28, 0, 0, 0, 0, 0, 0, 0};
  uint8_t other[8] = {0x10, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(TM_DS18B20_Is(rom_code), 1);
  EXPECT_EQ(TM_DS18B20_Is(other), 0);
}

TEST_F(OneWire, SearchFindsEachSensorAndStopsAfterTheLast) {
  sim::Ds18b20 second(machine(), sim::pins::temp, sim::Ds18b20::rom_for(0x0000DEADBEE0ull));
  std::vector<std::vector<uint8_t>> found;
  uint8_t again = 9, flag_after = 9, discrepancy_after = 9, first_again = 9;
  call([&] {
    TM_OneWire_Init(&ow, GPIOB, GPIO_PIN_9);
    if (TM_OneWire_First(&ow)) found.emplace_back(ow.ROM_NO, ow.ROM_NO + 8);
    if (TM_OneWire_Search(&ow, ONEWIRE_CMD_SEARCHROM)) found.emplace_back(ow.ROM_NO, ow.ROM_NO + 8);
    // After the last one the search fails and starts afresh next time.
    again = TM_OneWire_Search(&ow, ONEWIRE_CMD_SEARCHROM);
    flag_after = ow.LastDeviceFlag;
    discrepancy_after = ow.LastDiscrepancy;
    first_again = TM_OneWire_First(&ow);
  });
  ASSERT_EQ(found.size(), 2u);
  // The 0-branch first: the code with a 0 where the two differ.
  EXPECT_EQ(found[0], std::vector<uint8_t>(second.rom().begin(), second.rom().end()));
  EXPECT_EQ(found[1], std::vector<uint8_t>(sensor.rom().begin(), sensor.rom().end()));
  EXPECT_EQ(again, 0);
  EXPECT_EQ(flag_after, 0);
  EXPECT_EQ(discrepancy_after, 0);
  EXPECT_EQ(first_again, 1);
}

// A conversion, then the read-out, as the main loop does them.
float convert_and_read(TM_OneWire_t* ow, uint8_t* rom, float start) {
  float t = start;
  TM_DS18B20_StartAll(ow);
  while (!TM_DS18B20_AllDone(ow)) {
  }
  TM_DS18B20_Read(ow, rom, &t);
  return t;
}

TEST_F(OneWire, TemperatureReadOutsOfTheSensor) {
  struct Case {
    double celsius;
    int bits;
    float expected;
  };
  const Case cases[] = {{85.0, 12, 85.0f},      {25.0625, 12, 25.0625f}, {-10.125, 12, -10.125f},
                        {-25.0625, 12, -25.0625f}, {21.5, 9, 21.5f},       {21.6, 9, 21.5f}};
  for (const Case& c : cases) {
    sensor.set_temperature(c.celsius);
    sensor.set_resolution(c.bits);
    float got = 999.0f;
    uint8_t rom[8];
    Time took = 0;
    call([&] {
      TM_OneWire_Init(&ow, GPIOB, GPIO_PIN_9);
      ASSERT_EQ(TM_OneWire_First(&ow), 1);
      TM_OneWire_GetFullROM(&ow, rom);
      const Time t0 = host::Machine::current().now();
      got = convert_and_read(&ow, rom, 999.0f);
      took = host::Machine::current().now() - t0;
    });
    EXPECT_EQ(got, c.expected) << c.celsius << " °C at " << c.bits << " bits";
    // The conversion takes its resolution's time: 750 ms at 12 bits, 93.75 at 9.
    EXPECT_NEAR(host::to_ms(took), c.bits == 12 ? 750.0 : 93.75, 15.0);
  }
}

TEST_F(OneWire, ASpoiltReadOutOrAMissingSensorLeavesTheValue) {
  uint8_t rom[8];
  float t = 5.0f;
  uint8_t spoilt = 9, missing = 9, good = 9;
  sensor.set_temperature(30.0);
  call([&] {
    TM_OneWire_Init(&ow, GPIOB, GPIO_PIN_9);
    TM_OneWire_First(&ow);
    TM_OneWire_GetFullROM(&ow, rom);
  });
  sensor.corrupt_next_readout(2, 0x01);
  call([&] { spoilt = TM_DS18B20_Read(&ow, rom, &t); });
  EXPECT_EQ(spoilt, 0);
  EXPECT_EQ(t, 5.0f);
  sensor.set_connected(false);
  call([&] { missing = TM_DS18B20_Read(&ow, rom, &t); });
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(t, 5.0f);
  sensor.set_connected(true);
  call([&] { good = TM_DS18B20_Read(&ow, rom, &t); });
  EXPECT_EQ(good, 1);
  EXPECT_EQ(t, 85.0f);  // the power-up value: no conversion has run
}

}  // namespace
