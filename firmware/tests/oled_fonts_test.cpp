// Layout and legibility checks of the two OLED fonts.

#include <gtest/gtest.h>

#include <string>

#include "fonts.h"

namespace {

struct OledFontCase {
    const char* name;
    const FontDef* font;
    const uint16_t* table;
    size_t declaredRows;
    uint8_t width;
    uint8_t height;
};

const OledFontCase kFonts[] = {
    {"Font_11x18", &Font_11x18, Font11x18, sizeof Font11x18 / sizeof Font11x18[0], 11, 18},
    {"Font_16x26", &Font_16x26, Font16x26, sizeof Font16x26 / sizeof Font16x26[0], 16, 26},
};

uint16_t row(const FontDef& f, int code, int r) { return f.data[(code - 32) * f.FontHeight + r]; }

bool lit(const FontDef& f, int code, int col, int r) { return ((row(f, code, r) << col) & 0x8000) != 0; }

struct Ink {
    int top = -1, bottom = -1, left = -1, right = -1;
};

Ink ink(const FontDef& f, int code) {
    Ink k;
    for (int y = 0; y < f.FontHeight; ++y) {
        for (int x = 0; x < f.FontWidth; ++x) {
            if (!lit(f, code, x, y)) continue;
            if (k.top < 0) k.top = y;
            k.bottom = y;
            k.left = (k.left < 0 || x < k.left) ? x : k.left;
            k.right = x > k.right ? x : k.right;
        }
    }
    return k;
}

class OledFont : public ::testing::TestWithParam<OledFontCase> {};

TEST_P(OledFont, DescriptorDescribesItsTable) {
    const OledFontCase& c = GetParam();
    EXPECT_EQ(c.font->data, c.table);
    EXPECT_EQ(c.font->FontWidth, c.width);
    EXPECT_EQ(c.font->FontHeight, c.height);
    EXPECT_EQ(c.declaredRows, 95u * c.height);
}

TEST_P(OledFont, SpaceIsBlankAndEveryOtherCharacterHasInk) {
    const FontDef& f = *GetParam().font;
    for (int r = 0; r < f.FontHeight; ++r) {
        EXPECT_EQ(row(f, ' ', r), 0) << "row " << r << " of the space";
    }
    for (int code = 33; code <= 126; ++code) {
        EXPECT_GE(ink(f, code).top, 0) << "character '" << static_cast<char>(code) << "' is empty";
    }
}

TEST_P(OledFont, OnlyTheUpperFontWidthBitsAreUsed) {
    const FontDef& f = *GetParam().font;
    const uint16_t outside = static_cast<uint16_t>((1u << (16 - f.FontWidth)) - 1u);
    for (int code = 32; code <= 126; ++code) {
        for (int r = 0; r < f.FontHeight; ++r) {
            EXPECT_EQ(row(f, code, r) & outside, 0) << "'" << static_cast<char>(code) << "' row " << r;
        }
    }
}

TEST_P(OledFont, NeighbouringCharactersNeverTouch) {
    const FontDef& f = *GetParam().font;
    bool leftUsed = false, rightUsed = false;
    for (int code = 33; code <= 126; ++code) {
        for (int r = 0; r < f.FontHeight; ++r) {
            leftUsed = leftUsed || lit(f, code, 0, r);
            rightUsed = rightUsed || lit(f, code, f.FontWidth - 1, r);
        }
    }
    EXPECT_FALSE(leftUsed && rightUsed);
}

TEST_P(OledFont, GlyphsStandOnOneBaselineWithFullDescenders) {
    const FontDef& f = *GetParam().font;
    const Ink h = ink(f, 'H');
    for (const char c : std::string("ABEHKLMNRVWXZ0123456789acemnsuvxz")) {
        EXPECT_NEAR(ink(f, c).bottom, h.bottom, 1) << "'" << c << "' is off the baseline";
    }
    for (const char c : std::string("0123456789H")) {
        const Ink k = ink(f, c);
        EXPECT_GE((k.bottom - k.top + 1) * 100, 60 * f.FontHeight) << "'" << c << "' is small";
    }
    const int xHeight = h.bottom - ink(f, 'x').top + 1;
    for (const char c : std::string("gjpqy")) {
        EXPECT_GE((ink(f, c).bottom - h.bottom) * 10, xHeight * 3) << "descender of '" << c << "' is cut short";
    }
    // Shifting the table by one character would move these.
    EXPECT_LT(ink(f, '-').bottom, h.bottom);
    EXPECT_NEAR(ink(f, '.').bottom, h.bottom, 1);
    EXPECT_GT(ink(f, '_').top, h.bottom);
}

INSTANTIATE_TEST_SUITE_P(BothFonts, OledFont, ::testing::ValuesIn(kFonts),
                         [](const ::testing::TestParamInfo<OledFontCase>& p) { return std::string(p.param.name); });

// The gauge puts a Font_16x26 line on rows 0..25 and Font_11x18 lines right
// below it (row 26) and at row 45: the characters the gauge shows keep the
// bottom row of the large font and the top row of the small font blank, so
// consecutive lines never run into each other.
TEST(OledFontLayout, GaugeLinesStayApart) {
    for (const char c : std::string("0123456789km/h. ")) {
        EXPECT_EQ(row(Font_16x26, c, 25), 0) << "'" << c << "'";
    }
    for (const char c : std::string("0123456789.L/kmhV*C -")) {
        EXPECT_EQ(row(Font_11x18, c, 0), 0) << "'" << c << "'";
    }
}

}  // namespace
