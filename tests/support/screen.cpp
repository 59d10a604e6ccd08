#include "screen.h"

#include <cstdio>
#include <sstream>

#include "board_setup.h"
#include "z_displ_ILI9XXX.h"

namespace screen {

std::uint32_t stored(std::uint16_t c) {
  const std::uint32_t r = (c >> 8) & 0xF8, g = (c >> 3) & 0xFC, b = (c << 3) & 0xF8;
  return ((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2);
}

std::uint32_t stored_image(std::uint16_t c) {
  const std::uint32_t r = (c >> 11) * 255 / 31, g = ((c >> 5) & 0x3F) * 255 / 63, b = (c & 0x1F) * 255 / 31;
  return ((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2);
}

namespace {

std::string hex(std::uint32_t v) {
  char s[16];
  std::snprintf(s, sizeof s, "0x%05X", v);
  return s;
}

bool glyph_bit(const sFONT& font, char ch, int row, int col) {
  const auto code = static_cast<unsigned char>(ch);
  if (code < 32 || code > 126 || col >= 8 * font.Size) return false;
  const std::uint8_t* bits = font.table + (static_cast<std::size_t>(code - 32) * font.Height + row) * font.Size;
  return (bits[col / 8] & (0x80 >> (col % 8))) != 0;
}

// The cell as the panel holds it: '#' foreground, '.' background, '?' other.
std::string cell_picture(const sim::Ili9488& panel, int x, int y, const sFONT& font, std::uint32_t fg,
                         std::uint32_t bg) {
  std::ostringstream out;
  for (int r = 0; r < font.Height; ++r) {
    out << "\n    ";
    for (int c = 0; c < font.Width; ++c) {
      const std::uint32_t v = panel.pixel(x + c, y + r);
      out << (v == fg ? '#' : v == bg ? '.' : '?');
    }
  }
  return out.str();
}

}  // namespace

::testing::AssertionResult shows_text(const sim::Ili9488& panel, int x, int y, const std::string& text,
                                      const sFONT& font, std::uint16_t color, std::uint16_t background) {
  return shows_text_rows(panel, x, y, text, font, font.Height, color, background);
}

::testing::AssertionResult shows_text_rows(const sim::Ili9488& panel, int x, int y, const std::string& text,
                                           const sFONT& font, int rows, std::uint16_t color,
                                           std::uint16_t background) {
  const std::uint32_t fg = stored(color), bg = stored(background);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int cx = x + static_cast<int>(i) * font.Width;
    for (int r = 0; r < rows && r < font.Height; ++r) {
      for (int c = 0; c < font.Width; ++c) {
        const std::uint32_t want = glyph_bit(font, text[i], r, c) ? fg : bg;
        const std::uint32_t got = panel.pixel(cx + c, y + r);
        if (got != want) {
          return ::testing::AssertionFailure()
                 << "\"" << text << "\" at (" << x << ", " << y << "): character " << i << " '" << text[i]
                 << "', pixel (" << cx + c << ", " << y + r << ") holds " << hex(got) << ", expected " << hex(want)
                 << "; the cell holds:" << cell_picture(panel, cx, y, font, fg, bg);
        }
      }
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult shows_fill(const sim::Ili9488& panel, int x, int y, int w, int h, std::uint16_t color) {
  const std::uint32_t want = stored(color);
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) {
      const std::uint32_t got = panel.pixel(x + c, y + r);
      if (got != want) {
        return ::testing::AssertionFailure() << w << "x" << h << " at (" << x << ", " << y << "): pixel (" << x + c
                                             << ", " << y + r << ") holds " << hex(got) << ", expected " << hex(want);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

int count_color(const sim::Ili9488& panel, int x, int y, int w, int h, std::uint16_t color) {
  const std::uint32_t want = stored(color);
  int n = 0;
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) n += panel.pixel(x + c, y + r) == want ? 1 : 0;
  return n;
}

// ---------------------------------------------------------------- the rig

DisplayRig::DisplayRig()
    : FirmwareRunner([] {
        MX_GPIO_Init();
        MX_DMA_Init();
        MX_SPI1_Init();
      }) {
  machine().set_powered(true);
}

void DisplayRig::start_display() {
  run([] {
    Displ_Init(Displ_Orientat_90);
    Displ_CLS(BLACK);
  });
}

}  // namespace screen
