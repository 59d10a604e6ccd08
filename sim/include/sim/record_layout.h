// The persistent record's layout as stored in the EEPROM: each value at its
// byte address and width, raw little-endian. Written from the record's
// address table, independent of the firmware's code, so it can check what
// the firmware writes and let scenarios and tools read and make images.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/json.h"

namespace sim::record {

enum class Type { F32, F64, U8, U16, I32 };

struct Field {
  std::string name;      // "LPG_CAL", "ch[1].pbcons", "flvl.pb_min"
  std::uint16_t address;
  std::uint16_t size;
  Type type;
  std::string variable;  // the firmware global the bytes belong to
  std::uint16_t offset;  // within that variable
};

// Every value of the record, in address order (bytes 13..179).
const std::vector<Field>& fields();
const Field* find(std::string_view name);

using Image = std::vector<std::uint8_t>;
constexpr std::size_t kImageSize = 1024;

// The value of a field in an image, as a JSON number.
ojson value(const Image& image, const Field& f);
double number(const Image& image, const Field& f);
void set(Image& image, const Field& f, double value);
std::string hex_bytes(const Image& image, const Field& f);

// An erased chip with a complete, plausible record: the fallback settings,
// empty trip channels, half-full tanks.
Image default_image();

}  // namespace sim::record
