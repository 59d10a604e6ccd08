#include "sim/firmware_view.h"

#include <cstring>
#include <stdexcept>

namespace sim {

namespace {

// Table of the firmware's globals: settings, measurements, derived values,
// trip channels and interface state. Traced ones go into every trace line.
const std::vector<VarInfo> kVariables = {
    // measurements
    {"speed", VarType::F32, true},
    {"rpm", VarType::I32, true},
    {"injtime", VarType::F32, true},
    {"IsOnLpg", VarType::U8, true},
    {"distpb", VarType::F64, true},
    {"distlpg", VarType::F64, true},
    {"pbcons", VarType::F64, true},
    {"lpgcons", VarType::F64, true},
    {"instcons", VarType::F32, true},
    {"instconsph", VarType::F32, true},
    {"avgpbcons", VarType::F32, true},
    {"avglpgcons", VarType::F32, true},
    {"pbrange", VarType::F32, true},
    {"lpgrange", VarType::F32, true},
    {"active_ch", VarType::U8, true},
    {"ch", VarType::TripChannels, true},
    {"temp", VarType::F32, true},
    {"voltage", VarType::F32, true},
    {"aux_voltage", VarType::F32, true},
    {"pblvl", VarType::F32, true},
    {"lpglvl", VarType::F32, true},
    {"pblvlraw", VarType::I32, false},
    {"lpglvlraw", VarType::I32, false},
    {"voltageraw", VarType::I32, false},
    {"auxraw", VarType::I32, false},
    // cruise control
    {"ccenable", VarType::I32, true},
    {"targetspeed", VarType::F32, true},
    {"ccthr", VarType::F32, true},
    {"targetsteps", VarType::U16, true},
    {"actualsteps", VarType::U16, true},
    {"cc_integral", VarType::F32, false},
    {"cc_derivative", VarType::F32, false},
    {"lasterror", VarType::F32, false},
    {"direction", VarType::U8, false},
    {"lastdirection", VarType::U8, false},
    {"cc_en_hold", VarType::U8, false},
    {"cc_up_hold", VarType::U8, false},
    {"cc_down_hold", VarType::U8, false},
    // interface
    {"menu", VarType::U8, true},
    {"sel", VarType::U8, false},
    {"enc", VarType::U8, false},
    {"drawlumo", VarType::U8, true},
    {"eeprom_errors", VarType::U8, true},
    {"buf", VarType::Text, false},
    // settings
    {"LPG_CAL", VarType::F32, false},
    {"PB_CAL", VarType::F32, false},
    {"SPD_CAL", VarType::F32, false},
    {"Voltage_CAL", VarType::F32, false},
    {"flvl", VarType::FuelLevels, false},
    {"lpgcap", VarType::I32, false},
    {"pbcap", VarType::I32, false},
    {"lpgtype", VarType::U8, false},
    {"injtype", VarType::U8, false},
    {"cc_Pgain", VarType::F32, false},
    {"cc_Igain", VarType::F32, false},
    {"cc_Dgain", VarType::F32, false},
    {"stepper_range", VarType::U16, false},
    {"autoreset", VarType::U8, false},
    {"offtime", VarType::F32, false},
    {"oledparam", VarType::U8, false},
    {"maxinjtime", VarType::F32, false},
    {"enc_inv", VarType::U8, false},
    {"lambda_enable", VarType::U8, false},
    {"pbcomp", VarType::U8, false},
    // trip channel state and history
    {"ch_start", VarType::TripChannels, false},
    {"pblvl_start", VarType::F32, false},
    {"lpglvl_start", VarType::F32, false},
    {"lastpbcons", VarType::F64, false},
    {"lastlpgcons", VarType::F64, false},
    {"lastdistpb", VarType::F64, false},
    {"lastdistlpg", VarType::F64, false},
    {"speedtick", VarType::U32, false},
    {"lastspdtick", VarType::U32, false},
    {"injtickpb", VarType::U32, false},
    {"injticklpg", VarType::U32, false},
    {"rpmtickpb", VarType::U32, false},
    {"rpmticklpg", VarType::U32, false},
    {"rpmmpb", VarType::U32, false},
    {"rpmmlpg", VarType::U32, false},
    {"lastrpmtickpb", VarType::U32, false},
    {"lastrpmticklpg", VarType::U32, false},
    {"ignorepb", VarType::U8, false},
    // acceleration timer
    {"dragyinitialized", VarType::U8, false},
    {"ready", VarType::U8, false},
    {"running", VarType::U8, false},
    {"starttick", VarType::U32, false},
    {"startdist", VarType::F64, false},
    {"time60", VarType::F32, false},
    {"time100", VarType::F32, false},
    {"time150", VarType::F32, false},
    {"time200", VarType::F32, false},
    {"time18mile", VarType::F32, false},
    {"time14mile", VarType::F32, false},
    {"speed18mile", VarType::F32, false},
    {"speed14mile", VarType::F32, false},
    // drivers
    {"TM_Time", VarType::U32, false},
    {"ee24_lock", VarType::U8, false},
    {"DS_ROM", VarType::Bytes8, false},
    {"Displ_SpiAvailable", VarType::U8, false},
};

}  // namespace

FirmwareView::FirmwareView(host::FirmwareImage& image) : image_(image) {}

const std::vector<VarInfo>& FirmwareView::variables() { return kVariables; }

void* FirmwareView::address(const char* name) const {
  void* p = image_.symbol(name);
  if (p == nullptr) throw std::runtime_error(std::string("the firmware has no global named ") + name);
  return p;
}

ojson FirmwareView::value(const VarInfo& v) const {
  const void* p = address(v.name);
  switch (v.type) {
    case VarType::F32: return json_number(*static_cast<const float*>(p));
    case VarType::F64: return json_number(*static_cast<const double*>(p));
    case VarType::I32: return *static_cast<const std::int32_t*>(p);
    case VarType::U8: return *static_cast<const std::uint8_t*>(p);
    case VarType::U16: return *static_cast<const std::uint16_t*>(p);
    case VarType::U32: return *static_cast<const std::uint32_t*>(p);
    case VarType::TripChannels: {
      ojson list = ojson::array();
      const auto* d = static_cast<const double*>(p);
      for (int k = 0; k < 3; ++k) {
        ojson c;
        c["distlpg"] = json_number(d[4 * k + 0]);
        c["distpb"] = json_number(d[4 * k + 1]);
        c["pbcons"] = json_number(d[4 * k + 2]);
        c["lpgcons"] = json_number(d[4 * k + 3]);
        list.push_back(c);
      }
      return list;
    }
    case VarType::FuelLevels: {
      const auto* u = static_cast<const std::uint16_t*>(p);
      return ojson{{"pb_min", u[0]}, {"pb_max", u[1]}, {"lpg_min", u[2]}, {"lpg_max", u[3]}};
    }
    case VarType::Text: {
      const auto* c = static_cast<const char*>(p);
      return std::string(c, strnlen(c, 50));
    }
    case VarType::Bytes8: {
      ojson list = ojson::array();
      for (int i = 0; i < 8; ++i) list.push_back(static_cast<const std::uint8_t*>(p)[i]);
      return list;
    }
  }
  return nullptr;
}

ojson FirmwareView::globals(bool traced_only) const {
  ojson out = ojson::object();
  for (const VarInfo& v : kVariables) {
    if (traced_only && !v.traced) continue;
    if (image_.symbol(v.name) == nullptr) continue;  // not in this firmware (yet)
    out[v.name] = value(v);
  }
  return out;
}

}  // namespace sim
