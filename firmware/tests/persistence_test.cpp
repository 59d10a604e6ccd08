// The record through the board and the 24C08: loaded at start-up, repaired,
// written at power-down, and the trips that survive power cycles.
#include <cstring>

#include "bench.h"
#include "firmware_call.h"
#include "sim/eeprom24c08.h"
#include "sim/record_layout.h"
#include "vehicle_state.h"

namespace {

using namespace bench;
namespace pins = sim::pins;
namespace record = sim::record;

class Persistence : public Bench {
 protected:
  sim::Eeprom24c08 chip{machine};
  I2cLog bus{machine};
  Signal wheel{machine, pins::speed, host::Drive::Low};
  Signal petrol{machine, pins::wtr_pb, host::Drive::High};

  // Ignition off and wait until the relay has let go of the power.
  void power_down() {
    offtime = 0.0f;
    ignition.set(false);
    run_while([&] { return machine.powered(); }, s(20), ms(100));
    ASSERT_FALSE(machine.powered());
  }
  void drive(int pulses) {
    const Time t0 = now() + ms(5);
    wheel.pulses(t0, ms(10), ms(1), pulses, false);
    petrol.pulses(t0 + ms(2), ms(25), ms(4), pulses / 3, true);
    run_to(t0 + ms(10) * static_cast<Time>(pulses) + ms(100));
  }
  // The value of a field as the firmware holds it in RAM.
  std::vector<std::uint8_t> ram_bytes(const record::Field& f) {
    const auto* p = static_cast<const std::uint8_t*>(machine.firmware().symbol(f.variable.c_str())) + f.offset;
    return {p, p + f.size};
  }
  std::vector<std::uint8_t> chip_bytes(const record::Field& f) {
    return {chip.memory().begin() + f.address, chip.memory().begin() + f.address + f.size};
  }
};

TEST_F(Persistence, AnErasedChipIsRepairedValueByValue) {
  boot();
  EXPECT_EQ(eeprom_errors, 24);
  EXPECT_EQ(SPD_CAL, 1.0f);
  EXPECT_EQ(lpgcap, 30);
  EXPECT_EQ(flvl.pb_max, 4095);
  EXPECT_EQ(ch[0].distpb, 0.0);
  EXPECT_EQ(active_ch, 1);  // 255 from the erased chip, brought into range
  EXPECT_EQ(lambda_enable, 255);
}

// Without a chip every value keeps its power-up default. Of the six defaults
// that fail the check, the petrol level is one only until the ADC task has
// moved it: by the time of the check it has, and it passes.
TEST_F(Persistence, WithoutAChipThePowerUpDefaultsAreRepaired) {
  chip.set_absent(true);
  boot();
  EXPECT_EQ(eeprom_errors, 5);
  EXPECT_GT(pblvl_start, 0.0f);
  EXPECT_EQ(lpgtype, 1);
  EXPECT_EQ(lpgcap, 30);
  EXPECT_EQ(pbcap, 45);
  EXPECT_EQ(oledparam, 2);
  EXPECT_EQ(SPD_CAL, 1.0f);  // its default passes
}

TEST_F(Persistence, ATripSurvivesPowerCycles) {
  chip.load(record::default_image());
  boot();
  ASSERT_EQ(eeprom_errors, 0);
  active_ch = 2;
  drive(300);
  const bc before = ch[0];
  ASSERT_GT(before.distpb, 0.08);
  ASSERT_GT(before.pbcons, 0.0);
  power_down();
  boot();
  EXPECT_EQ(machine.stats().boots, 2u);
  EXPECT_EQ(distpb, 0.0);  // the live totals start again
  EXPECT_EQ(ch[0].distpb, before.distpb);
  EXPECT_EQ(ch[0].pbcons, before.pbcons);
  EXPECT_EQ(ch[2].distpb, before.distpb);
  EXPECT_EQ(active_ch, 2);
  drive(90);
  EXPECT_EQ(ch[0].distpb, before.distpb + distpb);
  EXPECT_GT(distpb, 0.02);
}

TEST_F(Persistence, TheWrittenImageHoldsEveryValueAtItsAddress) {
  chip.load(record::default_image());
  boot();
  // Distinctive values everywhere, then the orderly power-down.
  for (int k = 0; k < 3; ++k) ch_start[k] = {1.25 + k, 2.5 + k, 3.75 + k, 5.0 + k};
  flvl = {101, 3901, 202, 3802};
  maxinjtime = 12.5f;
  pblvl = 0.375f;
  enc_inv = 1;
  LPG_CAL = 1.125f;
  PB_CAL = 0.875f;
  SPD_CAL = 1.0625f;
  active_ch = 3;
  Voltage_CAL = 1.015625f;
  cc_Pgain = 0.5f;
  cc_Igain = 0.25f;
  cc_Dgain = 0.125f;
  stepper_range = 1800;
  lpgtype = 2;
  autoreset = 0;
  offtime = 0.0f;
  oledparam = 4;
  injtype = 3;
  lpgcap = 42;
  pbcap = 55;
  lpglvl = 0.625f;
  lambda_enable = 0;
  run_for(ms(50));
  power_down();
  // Decoded from the layout table, not through the firmware.
  for (const record::Field& f : record::fields()) EXPECT_EQ(chip_bytes(f), ram_bytes(f)) << f.name;
  EXPECT_EQ(record::number(chip.image(), *record::find("ch[1].distpb")), 3.5);
  EXPECT_EQ(record::number(chip.image(), *record::find("pbcap")), 55);
  EXPECT_EQ(record::number(chip.image(), *record::find("stepper_range")), 1800);
  // Outside the record nothing was written.
  EXPECT_EQ(chip.memory()[12], 0xFF);
  EXPECT_EQ(chip.memory()[109], 0xFF);
  EXPECT_EQ(chip.memory()[110], 0xFF);
  EXPECT_EQ(chip.memory()[180], 0xFF);
}

TEST_F(Persistence, WritingTheRecordTakesAThirdOfASecond) {
  chip.load(record::default_image());
  boot();
  bus.log.clear();
  power_down();
  std::size_t first = 0;
  while (first < bus.log.size() && bus.log[first].initiator != "mainvTask") ++first;
  ASSERT_LT(first, bus.log.size());
  std::size_t writes = 0;
  Time last_end = 0;
  for (const auto& t : bus.log)
    if (t.initiator == "mainvTask" && t.address >= 0x50 && t.address <= 0x53) {
      ++writes;
      last_end = t.end;
    }
  EXPECT_EQ(writes, 32u);  // pages touched by the record
  const double took = host::to_seconds(last_end - bus.log[first].start) + 0.010;  // and the last wait
  EXPECT_GT(took, 0.32);
  EXPECT_LT(took, 0.37);
  std::printf("the record write takes %.3f s of virtual time over %zu pages\n", took, writes);
}

TEST_F(Persistence, APowerCutDuringTheWriteKeepsOldValuesAfterTheCutAndLosesNothingElse) {
  const record::Image old_image = record::default_image();
  chip.load(old_image);
  boot();
  for (int k = 0; k < 3; ++k) ch_start[k] = {10.0 + k, 20.0 + k, 2.0 + k, 3.0 + k};
  flvl = {111, 3333, 222, 3444};
  SPD_CAL = 1.03125f;
  pbcap = 61;
  lpgcap = 33;
  autoreset = 0;
  oledparam = 3;
  injtype = 2;
  lpglvl = 0.75f;
  lambda_enable = 0;
  run_for(ms(50));
  bus.log.clear();
  ignition.set(false);
  // Cut the supply 120 ms into the record write (the board then holds up 20 ms).
  while (bus.log.empty() || bus.log.back().initiator != "mainvTask") run_for(ms(1));
  const Time write_started = bus.log.back().start;
  run_to(write_started + ms(120));
  board.set_supply(false);
  run_for(s(1));
  ASSERT_FALSE(machine.powered());
  EXPECT_EQ(chip.pages_lost(), 1u);

  // In address order: every field either new or old, the new ones first.
  const record::Image after = chip.image();
  bool seen_old = false;
  int fresh = 0, old = 0;
  for (const record::Field& f : record::fields()) {
    const bool same_as_old = std::memcmp(after.data() + f.address, old_image.data() + f.address, f.size) == 0;
    const bool now_new = chip_bytes(f) == ram_bytes(f);
    ASSERT_TRUE(same_as_old || now_new) << f.name << " holds neither value";
    if (now_new && !same_as_old) {
      EXPECT_FALSE(seen_old) << f.name << " written after an older one was kept";
      ++fresh;
    }
    if (same_as_old && !now_new) {
      seen_old = true;
      ++old;
    }
  }
  EXPECT_GT(fresh, 5);
  EXPECT_GT(old, 5);

  // The next start-up reads exactly what the chip holds: nothing implausible.
  board.set_supply(true);
  boot();
  EXPECT_EQ(eeprom_errors, 0);
  EXPECT_EQ(ch[0].distlpg, 10.0);
  // (The tank levels are measured values: the ADC task moves them on.)
  for (const record::Field& f : record::fields()) {
    if (f.variable == "ch" || f.name == "active_ch" || f.name == "pblvl" || f.name == "lpglvl") continue;
    EXPECT_EQ(ram_bytes(f), chip_bytes(f)) << f.name;
  }
}

TEST_F(Persistence, TheOledTaskAndTheRecordNeverShareTheBus) {
  chip.load(record::default_image());
  boot();
  run_for(s(2));
  power_down();
  ignition.set(true);
  run_for(s(4));
  std::size_t main_transactions = 0;
  for (const auto& a : bus.log) {
    if (a.initiator != "mainvTask") continue;
    ++main_transactions;
    for (const auto& b : bus.log)
      if (b.initiator == "oledvtask") {
        EXPECT_TRUE(b.end <= a.start || a.end <= b.start) << "overlap at " << a.start;
      }
  }
  EXPECT_GT(main_transactions, 50u);
}

}  // namespace
