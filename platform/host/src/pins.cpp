#include "host/pins.h"

namespace host {

std::optional<PinId> parse_pin(std::string_view text) {
  if (text.size() < 3 || text.size() > 4 || text[0] != 'P') return std::nullopt;
  const char port = text[1];
  if (port < 'A' || port > 'H' || (port > 'E' && port != 'H')) return std::nullopt;
  int n = 0;
  for (std::size_t i = 2; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    n = n * 10 + (text[i] - '0');
  }
  if (n > 15 || (text.size() == 4 && text[2] == '0')) return std::nullopt;
  return pin_id(port, n);
}

std::string pin_name(PinId id) { return std::string("P") + static_cast<char>('A' + id.port) + std::to_string(id.pin); }

}  // namespace host
