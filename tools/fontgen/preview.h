// Preview sheets of the generated fonts, drawn from the emitted tables.
#pragma once

#include "font_set.h"

#include <string>
#include <vector>

namespace fontgen {

// Writes tft_font_<record>.png for each TFT font (all glyphs and sample
// lines, enlarged) and tft_fonts.png (the sample lines of every font at 1:1).
void writeTftPreviews(const std::vector<const BuiltFont*>& fonts, const std::string& dir);

// Writes oled_fonts.png: a mock-up of the OLED gauge at 4:1 and every glyph
// of both fonts at 3:1.
void writeOledPreview(const std::vector<const BuiltFont*>& fonts, const std::string& dir);

}  // namespace fontgen
