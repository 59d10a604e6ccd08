#include "sim/record_layout.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "sim/json.h"

namespace sim::record {

namespace {

std::vector<Field> make_fields() {
  std::vector<Field> f;
  // Trip channels 1..3 at 13, 45, 77: four doubles each.
  static const char* kChannel[] = {"distlpg", "distpb", "pbcons", "lpgcons"};
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 4; ++i)
      f.push_back({"ch[" + std::to_string(k) + "]." + kChannel[i], static_cast<std::uint16_t>(13 + 32 * k + 8 * i), 8,
                   Type::F64, "ch", static_cast<std::uint16_t>(32 * k + 8 * i)});
  static const char* kLevels[] = {"pb_min", "pb_max", "lpg_min", "lpg_max"};
  for (int i = 0; i < 4; ++i)
    f.push_back({std::string("flvl.") + kLevels[i], static_cast<std::uint16_t>(111 + 2 * i), 2, Type::U16, "flvl",
                 static_cast<std::uint16_t>(2 * i)});
  auto scalar = [&](const char* name, std::uint16_t address, std::uint16_t size, Type type) {
    f.push_back({name, address, size, type, name, 0});
  };
  scalar("maxinjtime", 119, 4, Type::F32);
  scalar("pblvl", 123, 4, Type::F32);
  scalar("enc_inv", 127, 1, Type::U8);
  scalar("LPG_CAL", 128, 4, Type::F32);
  scalar("PB_CAL", 132, 4, Type::F32);
  scalar("SPD_CAL", 136, 4, Type::F32);
  scalar("active_ch", 140, 1, Type::U8);
  scalar("Voltage_CAL", 141, 4, Type::F32);
  scalar("cc_Pgain", 145, 4, Type::F32);
  scalar("cc_Igain", 149, 4, Type::F32);
  scalar("cc_Dgain", 153, 4, Type::F32);
  scalar("stepper_range", 157, 2, Type::U16);
  scalar("lpgtype", 159, 1, Type::U8);
  scalar("autoreset", 160, 1, Type::U8);
  scalar("offtime", 161, 4, Type::F32);
  scalar("oledparam", 165, 1, Type::U8);
  scalar("injtype", 166, 1, Type::U8);
  scalar("lpgcap", 167, 4, Type::I32);
  scalar("pbcap", 171, 4, Type::I32);
  scalar("lpglvl", 175, 4, Type::F32);
  scalar("lambda_enable", 179, 1, Type::U8);
  return f;
}

template <typename T>
T get(const Image& image, const Field& f) {
  T v;
  std::memcpy(&v, image.data() + f.address, sizeof v);  // little-endian, as the target
  return v;
}

template <typename T>
void put(Image& image, const Field& f, T v) {
  std::memcpy(image.data() + f.address, &v, sizeof v);
}

}  // namespace

const std::vector<Field>& fields() {
  static const std::vector<Field> table = make_fields();
  return table;
}

const Field* find(std::string_view name) {
  for (const Field& f : fields())
    if (f.name == name) return &f;
  return nullptr;
}

double number(const Image& image, const Field& f) {
  switch (f.type) {
    case Type::F32: return get<float>(image, f);
    case Type::F64: return get<double>(image, f);
    case Type::U8: return get<std::uint8_t>(image, f);
    case Type::U16: return get<std::uint16_t>(image, f);
    case Type::I32: return get<std::int32_t>(image, f);
  }
  return 0;
}

ojson value(const Image& image, const Field& f) {
  switch (f.type) {
    case Type::F32: return json_number(get<float>(image, f));
    case Type::F64: return json_number(get<double>(image, f));
    case Type::U8: return get<std::uint8_t>(image, f);
    case Type::U16: return get<std::uint16_t>(image, f);
    case Type::I32: return get<std::int32_t>(image, f);
  }
  return nullptr;
}

void set(Image& image, const Field& f, double v) {
  switch (f.type) {
    case Type::F32: put(image, f, static_cast<float>(v)); break;
    case Type::F64: put(image, f, v); break;
    case Type::U8: put(image, f, static_cast<std::uint8_t>(v)); break;
    case Type::U16: put(image, f, static_cast<std::uint16_t>(v)); break;
    case Type::I32: put(image, f, static_cast<std::int32_t>(v)); break;
  }
}

std::string hex_bytes(const Image& image, const Field& f) {
  std::string s;
  char b[4];
  for (int i = 0; i < f.size; ++i) {
    std::snprintf(b, sizeof b, "%s%02x", i ? " " : "", image[f.address + i]);
    s += b;
  }
  return s;
}

Image default_image() {
  Image image(kImageSize, 0xFF);
  for (const Field& f : fields()) set(image, f, 0);
  const std::pair<const char*, double> settings[] = {
      {"flvl.pb_max", 4095}, {"flvl.lpg_max", 4095}, {"maxinjtime", 10.0}, {"pblvl", 0.5},    {"enc_inv", 0},
      {"LPG_CAL", 1.0},      {"PB_CAL", 1.0},        {"SPD_CAL", 1.0},     {"active_ch", 1},   {"Voltage_CAL", 1.0},
      {"cc_Pgain", 0.4},     {"cc_Igain", 0.1},      {"cc_Dgain", 0.2},    {"stepper_range", 2000}, {"lpgtype", 1},
      {"autoreset", 1},      {"offtime", 1.0},       {"oledparam", 2},     {"injtype", 1},     {"lpgcap", 30},
      {"pbcap", 45},         {"lpglvl", 0.5},        {"lambda_enable", 1},
  };
  for (const auto& [name, v] : settings) set(image, *find(name), v);
  return image;
}

}  // namespace sim::record
