// The fonts kp-fontgen builds: the six TFT fonts and the two OLED fonts,
// with the typeface, pixel size and placement chosen for each cell.
#pragma once

#include "raster.h"

#include <string>
#include <vector>

namespace fontgen {

enum class Target { Tft, Oled };

struct FontPlan {
    Target target;
    const char* record;     // name of the font record (sFONT / FontDef)
    const char* table;      // name of the glyph table
    const char* file;       // source file name without extension
    const char* nameVar;    // optional name string variable (nullptr if none)
    const char* nameText;   // its text
    int width;              // cell width
    int height;             // cell height
    const char* faceFile;   // file in the font directory
    int pixelSize;          // FreeType pixel size (em height)
    int pixelWidth;         // em width; 0 = same as pixelSize
    RenderMode mode;
    int threshold;          // coverage threshold for GrayThreshold
    int baseline;           // first cell row below the baseline
    int lastRow;            // bottom row ink may use
    const char* why;        // one line on the choice, for the generated header
    const char* narrowed = "";  // glyphs whose hinting reads better drawn narrower...
    int narrowedWidth = 0;      // ...at this em width
};

constexpr int kFirstCode = 32;
constexpr int kLastCode = 126;
constexpr int kGlyphCount = kLastCode - kFirstCode + 1;

const std::vector<FontPlan>& fontPlans();

// Bytes per row of a TFT font cell.
inline int tftRowBytes(int width) { return (width + 7) / 8; }

struct BuiltFont {
    const FontPlan* plan = nullptr;
    CellLayout layout;
    std::vector<Bitmap> glyphs;     // kGlyphCount cells, code order
    std::vector<GlyphNote> notes;   // glyphs that needed a smaller size or a shift
    std::string faceDescription;    // family, style and version of the face
    std::string fontPath;
};

BuiltFont buildFont(const FontPlan& plan, const std::string& fontDir, bool report);

// The glyph table of a TFT font in its flash layout.
std::vector<uint8_t> tftTable(const BuiltFont& font);
// The glyph table of an OLED font: one uint16_t per row, bit 15 leftmost.
std::vector<uint16_t> oledTable(const BuiltFont& font);

}  // namespace fontgen
