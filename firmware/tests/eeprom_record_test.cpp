// The record's integrity check: which stored values pass, what each failed
// test repairs, and how the failures are counted.
#include <cmath>
#include <functional>
#include <limits>

#include <gtest/gtest.h>

#include "eeprom_record.h"
#include "host/firmware.h"
#include "vehicle_state.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();

// Starts from the power-up values made plausible, so each test changes only
// what it looks at.
class Integrity : public ::testing::Test {
 protected:
  void SetUp() override {
    host::LinkedFirmware::instance().restore_reset_state();
    lpgcap = 30;
    pbcap = 45;
    lpglvl = 0.5f;
    pblvl = 0.5f;
    lpgtype = 1;
    oledparam = 2;
  }
  void TearDown() override { host::LinkedFirmware::instance().restore_reset_state(); }
};

TEST_F(Integrity, PowerUpValuesFailExactlyTheSixWithoutAPlausibleDefault) {
  host::LinkedFirmware::instance().restore_reset_state();
  EXPECT_EQ(check_eeprom_integrity(), 6);
  EXPECT_EQ(lpgcap, 30);
  EXPECT_EQ(pbcap, 45);
  EXPECT_EQ(lpglvl, 0.5f);
  EXPECT_EQ(pblvl, 0.5f);
  EXPECT_EQ(lpgtype, 1);
  EXPECT_EQ(oledparam, 2);
  EXPECT_EQ(check_eeprom_integrity(), 0);
}

TEST_F(Integrity, BoundsOfTheRangeTests) {
  struct Case {
    const char* what;
    std::function<void()> set;
    std::function<bool()> kept;
    int errors;
  };
  const Case cases[] = {
      {"lpgcap 300", [] { lpgcap = 300; }, [] { return lpgcap == 300; }, 0},
      {"lpgcap 301", [] { lpgcap = 301; }, [] { return lpgcap == 30; }, 1},
      {"lpgcap 5", [] { lpgcap = 5; }, [] { return lpgcap == 5; }, 0},
      {"lpgcap 4", [] { lpgcap = 4; }, [] { return lpgcap == 30; }, 1},
      {"lpgcap -1", [] { lpgcap = -1; }, [] { return lpgcap == 30; }, 1},
      {"offtime 19.9", [] { offtime = 19.9f; }, [] { return offtime == 19.9f; }, 0},
      {"offtime 20", [] { offtime = 20.0f; }, [] { return offtime == 1.0f; }, 1},
      {"maxinjtime 0", [] { maxinjtime = 0.0f; }, [] { return maxinjtime == 0.0f; }, 0},
      {"maxinjtime 40", [] { maxinjtime = 40.0f; }, [] { return maxinjtime == 10.0f; }, 1},
      {"stepper_range 4000", [] { stepper_range = 4000; }, [] { return stepper_range == 4000; }, 0},
      {"stepper_range 4001", [] { stepper_range = 4001; }, [] { return stepper_range == 2000; }, 1},
      {"Voltage_CAL 0", [] { Voltage_CAL = 0.0f; }, [] { return Voltage_CAL == 0.0f; }, 0},
      {"Voltage_CAL -3", [] { Voltage_CAL = -3.0f; }, [] { return Voltage_CAL == -3.0f; }, 0},
      {"Voltage_CAL 2", [] { Voltage_CAL = 2.0f; }, [] { return Voltage_CAL == 2.0f; }, 0},
      {"Voltage_CAL 2.01", [] { Voltage_CAL = 2.01f; }, [] { return Voltage_CAL == 1.0f; }, 1},
      {"Voltage_CAL NaN", [] { Voltage_CAL = kNaNf; }, [] { return Voltage_CAL == 1.0f; }, 1},
      {"pblvl 0", [] { pblvl = 0.0f; }, [] { return pblvl == 0.5f; }, 1},
      {"pblvl 1", [] { pblvl = 1.0f; }, [] { return pblvl == 0.5f; }, 1},
      {"flvl.pb_min 4096", [] { flvl.pb_min = 4096; }, [] { return flvl.pb_min == 0; }, 1},
      {"flvl.lpg_max 4096", [] { flvl.lpg_max = 4096; }, [] { return flvl.lpg_max == 4095; }, 1},
      {"injtype 4", [] { injtype = 4; }, [] { return injtype == 1; }, 1},
      {"oledparam 5", [] { oledparam = 5; }, [] { return oledparam == 2; }, 1},
      {"autoreset 2", [] { autoreset = 2; }, [] { return autoreset == 1; }, 1},
      {"enc_inv 2", [] { enc_inv = 2; }, [] { return enc_inv == 0; }, 1},
  };
  for (const Case& c : cases) {
    SetUp();
    c.set();
    EXPECT_EQ(check_eeprom_integrity(), c.errors) << c.what;
    EXPECT_TRUE(c.kept()) << c.what;
  }
}

TEST_F(Integrity, LowerBoundsMarkedDoubleCompareTheWidenedFloat) {
  // The float nearest 0.01 lies just below the double 0.01: it fails.
  SPD_CAL = 0.01f;
  EXPECT_EQ(check_eeprom_integrity(), 1);
  EXPECT_EQ(SPD_CAL, 1.0f);
  // The float nearest 0.1 lies just above the double 0.1: it passes.
  LPG_CAL = 0.1f;
  PB_CAL = 0.1f;
  EXPECT_EQ(check_eeprom_integrity(), 0);
  EXPECT_EQ(LPG_CAL, 0.1f);
}

TEST_F(Integrity, AChannelWithANaNIsClearedWholeAndCountsOnce) {
  ch[0] = {1, 2, 3, 4};
  ch[1] = {5, 6, kNaN, 8};
  ch[2] = {9, INFINITY, 11, 12};  // infinities pass
  EXPECT_EQ(check_eeprom_integrity(), 1);
  EXPECT_EQ(ch[1].distlpg, 0.0);
  EXPECT_EQ(ch[1].distpb, 0.0);
  EXPECT_EQ(ch[1].pbcons, 0.0);
  EXPECT_EQ(ch[1].lpgcons, 0.0);
  EXPECT_EQ(ch[0].lpgcons, 4.0);
  EXPECT_EQ(ch[2].distpb, INFINITY);
  distpb = kNaN;  // the live totals: all four back to 0
  lpgcons = 3.0;
  EXPECT_EQ(check_eeprom_integrity(), 1);
  EXPECT_EQ(distpb, 0.0);
  EXPECT_EQ(lpgcons, 0.0);
}

TEST_F(Integrity, GainsNotANumberAreResetTogetherBeforeTheirRanges) {
  cc_Pgain = kNaNf;
  cc_Igain = 12.0f;
  cc_Dgain = 0.3f;
  EXPECT_EQ(check_eeprom_integrity(), 1);
  EXPECT_EQ(cc_Pgain, 0.4f);
  EXPECT_EQ(cc_Igain, 0.1f);
  EXPECT_EQ(cc_Dgain, 0.2f);

  cc_Pgain = 0.5f;
  cc_Igain = 12.0f;
  cc_Dgain = 0.3f;
  EXPECT_EQ(check_eeprom_integrity(), 1);
  EXPECT_EQ(cc_Pgain, 0.5f);
  EXPECT_EQ(cc_Igain, 0.1f);
  EXPECT_EQ(cc_Dgain, 0.3f);
}

}  // namespace
