// The OLED's glass as a picture of 128 x 64 on/off pixels, and the pictures
// tests expect on it: text rendered from the font tables the way a reader
// of the glyph layout would draw it, compared area by area.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>

#include "fonts.h"
#include "sim/ssd1306.h"

namespace oled {

constexpr int kWidth = 128;
constexpr int kHeight = 64;

struct Screen {
  std::array<bool, kWidth * kHeight> px{};
  bool at(int x, int y) const { return px[static_cast<std::size_t>(y * kWidth + x)]; }
  void set(int x, int y, bool on) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) px[static_cast<std::size_t>(y * kWidth + x)] = on;
  }
};

// What the driver sees on the mounted module.
inline Screen glass(const sim::Ssd1306& oled) {
  Screen s;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) s.set(x, y, oled.lit(x, y));
  return s;
}

// Text as it must appear: each character an opaque cell of the font (ink
// lit, background dark), none that would reach the last column or row.
// Returns the number of characters that fit.
inline int put_text(Screen& s, int x, int y, const std::string& text, const FontDef& font) {
  int n = 0;
  for (const char c : text) {
    if (c < ' ' || c > '~' || x + font.FontWidth >= kWidth || y + font.FontHeight >= kHeight) break;
    const uint16_t* glyph = font.data + (c - 32) * font.FontHeight;
    for (int r = 0; r < font.FontHeight; ++r)
      for (int col = 0; col < font.FontWidth; ++col) s.set(x + col, y + r, (glyph[r] >> (15 - col)) & 1);
    x += font.FontWidth;
    ++n;
  }
  return n;
}

// Compares the rectangle [x0, x1) x [y0, y1) of two pictures; on a
// difference, names the first pixels that differ.
inline ::testing::AssertionResult same_area(const Screen& got, const Screen& want, int x0, int y0, int x1, int y1) {
  std::ostringstream out;
  int diffs = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (got.at(x, y) != want.at(x, y) && ++diffs <= 5)
        out << " (" << x << "," << y << ") is " << (got.at(x, y) ? "lit" : "dark");
  if (diffs == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << diffs << " pixels differ:" << out.str();
}

inline ::testing::AssertionResult same_rows(const Screen& got, const Screen& want, int y0, int y1) {
  return same_area(got, want, 0, y0, kWidth, y1);
}

// Lit pixels in the rectangle [x0, x1) x [y0, y1).
inline int lit_in(const Screen& s, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += s.at(x, y);
  return n;
}

}  // namespace oled
