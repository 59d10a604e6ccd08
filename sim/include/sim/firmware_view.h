// Reads the firmware's globals by name from its image, as a debugger reads
// RAM. The firmware knows nothing of this; the table here says which globals
// exist and of which type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/firmware.h"
#include "sim/json.h"

namespace sim {

enum class VarType { F32, F64, I32, U8, U16, U32, TripChannels, FuelLevels, Text, Bytes8 };

struct VarInfo {
  const char* name;
  VarType type;
  bool traced;  // also written in every trace line
};

class FirmwareView {
 public:
  explicit FirmwareView(host::FirmwareImage& image);

  static const std::vector<VarInfo>& variables();
  // Globals the image has, by name, in table order.
  ojson globals(bool traced_only) const;
  ojson value(const VarInfo& v) const;

  template <typename T>
  T read(const char* name) const {
    return *static_cast<const T*>(address(name));
  }
  template <typename T>
  T* pointer(const char* name) const {
    return static_cast<T*>(address(name));
  }
  bool has(const char* name) const { return image_.symbol(name) != nullptr; }

 private:
  void* address(const char* name) const;
  host::FirmwareImage& image_;
};

}  // namespace sim
