#include "sim/message_text.h"

#include <cstdint>
#include <cstdio>

namespace sim {

namespace {

// The length of the UTF-8 sequence at s[i] and its code point; 0 when the
// bytes there are not one (overlong forms and surrogates included).
std::size_t utf8_at(std::string_view s, std::size_t i, std::uint32_t& cp) {
  const auto b = static_cast<unsigned char>(s[i]);
  std::size_t n = 0;
  std::uint32_t min = 0;
  if (b < 0x80) {
    cp = b;
    return 1;
  } else if (b >= 0xC2 && b <= 0xDF) {
    n = 2, cp = b & 0x1Fu, min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, cp = b & 0x0Fu, min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, cp = b & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

std::string printable(std::string_view text, std::size_t max_chars) {
  std::string out;
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (chars == max_chars) {
      out += "...";
      break;
    }
    std::uint32_t cp = 0;
    const std::size_t n = utf8_at(text, i, cp);
    char esc[16];
    if (n == 0) {
      std::snprintf(esc, sizeof esc, "\\x%02X", static_cast<unsigned char>(text[i]));
      out += esc;
      i += 1;
    } else if (cp == '\n') {
      out += "\\n", i += 1;
    } else if (cp == '\t') {
      out += "\\t", i += 1;
    } else if (cp == '\r') {
      out += "\\r", i += 1;
    } else if (cp < 0x20 || cp == 0x7F) {
      std::snprintf(esc, sizeof esc, "\\x%02X", static_cast<unsigned>(cp));
      out += esc;
      i += 1;
    } else if ((cp >= 0x80 && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029) {
      // C1 controls (a lone 0x9B starts a terminal sequence on some
      // terminals) and the Unicode line separators.
      std::snprintf(esc, sizeof esc, "\\u{%04X}", static_cast<unsigned>(cp));
      out += esc;
      i += n;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
    ++chars;
  }
  return out;
}

std::string one_line(std::string_view message, std::size_t max_chars) { return printable(message, max_chars); }

}  // namespace sim
