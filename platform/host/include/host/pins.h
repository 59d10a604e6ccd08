// Pins of the microcontroller as the board around it sees them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/time.h"

namespace host {

// Port index as the chip numbers its GPIO blocks: A = 0, B = 1, ... H = 7.
struct PinId {
  std::uint8_t port = 0;
  std::uint8_t pin = 0;
  constexpr bool operator==(const PinId&) const = default;
  constexpr unsigned index() const { return port * 16u + pin; }
};

constexpr PinId pin_id(char port, int pin) {
  return PinId{static_cast<std::uint8_t>(port - 'A'), static_cast<std::uint8_t>(pin)};
}

// "PB12" -> port B, pin 12; nullopt when the text is not a pin name.
std::optional<PinId> parse_pin(std::string_view text);
std::string pin_name(PinId id);

// What a party outside the chip does to a line. Strong drives win over pulls;
// a line nobody drives or pulls keeps its last level.
enum class Drive : std::uint8_t { None, PullDown, PullUp, Low, High };

// Told of every change of a line's level, whoever caused it.
class PinListener {
 public:
  virtual ~PinListener() = default;
  virtual void on_pin_level(PinId pin, Time t, bool level) = 0;
};

}  // namespace host
