// The record's layout (byte address and width of each value, raw and
// little-endian as in RAM), its load and store, and its integrity check.
#include "eeprom_record.h"

#include <math.h>

#include "ee24.h"
#include "trip_computer.h"
#include "vehicle_state.h"

namespace {

constexpr uint32_t kTimeout = 500;  // ms per entry

struct Entry {
  uint16_t address;
  void* value;
  uint16_t size;
};

// In address order. The trip channels take bytes 13..108; bytes 109 and 110
// hold nothing and are neither read nor written.
const Entry kRecord[] = {
    {13, ch, sizeof ch},
    {111, &flvl, sizeof flvl},
    {119, &maxinjtime, sizeof maxinjtime},
    {123, &pblvl, sizeof pblvl},
    {127, &enc_inv, sizeof enc_inv},
    {128, &LPG_CAL, sizeof LPG_CAL},
    {132, &PB_CAL, sizeof PB_CAL},
    {136, &SPD_CAL, sizeof SPD_CAL},
    {140, &active_ch, sizeof active_ch},
    {141, &Voltage_CAL, sizeof Voltage_CAL},
    {145, &cc_Pgain, sizeof cc_Pgain},
    {149, &cc_Igain, sizeof cc_Igain},
    {153, &cc_Dgain, sizeof cc_Dgain},
    {157, &stepper_range, sizeof stepper_range},
    {159, &lpgtype, sizeof lpgtype},
    {160, &autoreset, sizeof autoreset},
    {161, &offtime, sizeof offtime},
    {165, &oledparam, sizeof oledparam},
    {166, &injtype, sizeof injtype},
    {167, &lpgcap, sizeof lpgcap},
    {171, &pbcap, sizeof pbcap},
    {175, &lpglvl, sizeof lpglvl},
    {179, &lambda_enable, sizeof lambda_enable},
};

static_assert(sizeof(ch) == 96 && sizeof(flvl) == 8 && sizeof(lpgcap) == 4 && sizeof(stepper_range) == 2,
              "the record's layout follows the sizes of the values");

bool nan_in(const struct bc& c) { return isnan(c.distlpg) || isnan(c.distpb) || isnan(c.pbcons) || isnan(c.lpgcons); }

}  // namespace

void readee(void) {
  for (const Entry& e : kRecord) {
    if (e.value == &active_ch) {
      // The once-a-second computation indexes the channels with this number
      // and runs already: it never holds anything but 1..3.
      uint8_t stored = active_ch;
      ee24_read(e.address, &stored, e.size, kTimeout);
      active_ch = normalised_channel(stored);
      continue;
    }
    ee24_read(e.address, static_cast<uint8_t*>(e.value), e.size, kTimeout);
  }
}

void writeee(void) {
  for (const Entry& e : kRecord) {
    ee24_write(e.address, static_cast<uint8_t*>(e.value), e.size, kTimeout);
  }
}

// Each failed test sets its value(s) to the fallback and counts once. A test
// is written so that a value that is not a number fails it. Where a bound is
// a double, the float is widened and compared with the double constant.
int check_eeprom_integrity(void) {
  uint8_t errors = 0;
  if (!(LPG_CAL < 10.0f && (double)LPG_CAL > 0.1)) {
    LPG_CAL = 1.0f;
    errors++;
  }
  if (!(PB_CAL < 10.0f && (double)PB_CAL > 0.1)) {
    PB_CAL = 1.0f;
    errors++;
  }
  if (!(SPD_CAL < 100.0f && (double)SPD_CAL > 0.01)) {
    SPD_CAL = 1.0f;
    errors++;
  }
  if (!(Voltage_CAL <= 2.0f)) {
    Voltage_CAL = 1.0f;
    errors++;
  }
  if (isnan(distlpg) || isnan(distpb) || isnan(pbcons) || isnan(lpgcons)) {
    distlpg = 0.0;
    distpb = 0.0;
    pbcons = 0.0;
    lpgcons = 0.0;
    errors++;
  }
  for (int k = 0; k < 3; k++) {
    if (nan_in(ch[k])) {
      ch[k].distlpg = 0.0;
      ch[k].distpb = 0.0;
      ch[k].pbcons = 0.0;
      ch[k].lpgcons = 0.0;
      errors++;
    }
  }
  if (!(lpgcap >= 5 && lpgcap <= 300)) {
    lpgcap = 30;
    errors++;
  }
  if (!(pbcap >= 5 && pbcap <= 300)) {
    pbcap = 45;
    errors++;
  }
  if (!(lpglvl > 0.0f && lpglvl < 1.0f)) {
    lpglvl = 0.5f;
    errors++;
  }
  if (!(pblvl > 0.0f && pblvl < 1.0f)) {
    pblvl = 0.5f;
    errors++;
  }
  if (!(flvl.lpg_max <= 4095)) {
    flvl.lpg_max = 4095;
    errors++;
  }
  if (!(flvl.lpg_min <= 4095)) {
    flvl.lpg_min = 0;
    errors++;
  }
  if (!(flvl.pb_max <= 4095)) {
    flvl.pb_max = 4095;
    errors++;
  }
  if (!(flvl.pb_min <= 4095)) {
    flvl.pb_min = 0;
    errors++;
  }
  if (isnan(cc_Pgain) || isnan(cc_Igain) || isnan(cc_Dgain)) {
    cc_Pgain = 0.4f;
    cc_Igain = 0.1f;
    cc_Dgain = 0.2f;
    errors++;
  }
  if (!(lpgtype >= 1 && lpgtype <= 3)) {
    lpgtype = 1;
    errors++;
  }
  if (!(injtype >= 1 && injtype <= 3)) {
    injtype = 1;
    errors++;
  }
  if (!(stepper_range <= 4000)) {
    stepper_range = 2000;
    errors++;
  }
  if (!(cc_Pgain >= 0.0f && cc_Pgain <= 10.0f)) {
    cc_Pgain = 0.4f;
    errors++;
  }
  if (!(cc_Igain >= 0.0f && cc_Igain <= 10.0f)) {
    cc_Igain = 0.1f;
    errors++;
  }
  if (!(cc_Dgain >= 0.0f && cc_Dgain <= 10.0f)) {
    cc_Dgain = 0.2f;
    errors++;
  }
  if (!(oledparam >= 1 && oledparam <= 4)) {
    oledparam = 2;
    errors++;
  }
  if (!(offtime >= 0.0f && offtime < 20.0f)) {
    offtime = 1.0f;
    errors++;
  }
  if (!(maxinjtime >= 0.0f && maxinjtime < 40.0f)) {
    maxinjtime = 10.0f;
    errors++;
  }
  if (!(autoreset == 0 || autoreset == 1)) {
    autoreset = 1;
    errors++;
  }
  if (!(enc_inv == 0 || enc_inv == 1)) {
    enc_inv = 0;
    errors++;
  }
  return errors;
}
