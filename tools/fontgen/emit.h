// Writers of the generated C++ sources.
#pragma once

#include "font_set.h"

#include <string>
#include <vector>

namespace fontgen {

struct GeneratorInfo {
    std::string command;  // how the generator was invoked, for the file headers
    std::string freetype;  // FreeType version
};

// fontsLCD.h: the sFONT record type and the six TFT font declarations.
std::string tftHeader(const std::vector<const BuiltFont*>& fonts, const GeneratorInfo& info);
// One TFT font source file.
std::string tftSource(const BuiltFont& font, const GeneratorInfo& info);
// fonts.h: FontDef and the OLED font declarations.
std::string oledHeader(const std::vector<const BuiltFont*>& fonts, const GeneratorInfo& info);
// fonts.cpp: the OLED glyph tables and descriptors.
std::string oledSource(const std::vector<const BuiltFont*>& fonts, const GeneratorInfo& info);

// A name for a character code that is safe in a line comment.
std::string charName(int code);

}  // namespace fontgen
