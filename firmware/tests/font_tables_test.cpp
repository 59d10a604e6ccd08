// Layout and legibility checks of the six TFT font tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fontsLCD.h"

namespace {

struct TftFontCase {
    const char* name;
    const sFONT* font;
    const uint8_t* table;
    size_t declaredBytes;
    uint16_t width;
    uint16_t height;
    uint8_t size;
};

const TftFontCase kFonts[] = {
    {"Font12", &Font12, Font12_Table, sizeof Font12_Table, 7, 12, 1},
    {"Font16", &Font16, Font16_Table, sizeof Font16_Table, 11, 16, 2},
    {"Font20", &Font20, Font20_Table, sizeof Font20_Table, 14, 20, 2},
    {"Font24", &Font24, FontMenlo24_Table, sizeof FontMenlo24_Table, 15, 24, 2},
    {"Font32", &Font32, Font32_Table, sizeof Font32_Table, 20, 32, 3},
    {"Font40", &Font40, FontMenlo40_Table, sizeof FontMenlo40_Table, 25, 40, 4},
};

// One glyph row as the display driver reads it: Size bytes, big-endian.
uint32_t rowValue(const sFONT& f, int code, int row) {
    const uint8_t* p = f.table + static_cast<size_t>((code - 32) * f.Height * f.Size + row * f.Size);
    uint32_t v = 0;
    for (int b = 0; b < f.Size; ++b) {
        v = (v << 8) | p[b];
    }
    return v;
}

bool lit(const sFONT& f, int code, int col, int row) {
    return ((rowValue(f, code, row) >> (8 * f.Size - 1 - col)) & 1u) != 0;
}

// Ink extents of a glyph; top = -1 when it has none.
struct Ink {
    int top = -1, bottom = -1, left = -1, right = -1;
    double centreY = 0;
};

Ink ink(const sFONT& f, int code) {
    Ink k;
    int count = 0;
    double sumY = 0;
    for (int y = 0; y < f.Height; ++y) {
        for (int x = 0; x < f.Width; ++x) {
            if (!lit(f, code, x, y)) continue;
            if (k.top < 0) k.top = y;
            k.bottom = y;
            k.left = (k.left < 0 || x < k.left) ? x : k.left;
            k.right = x > k.right ? x : k.right;
            sumY += y;
            ++count;
        }
    }
    k.centreY = count > 0 ? sumY / count : 0;
    return k;
}

// Number of lit pixels in one row of a glyph.
int rowInk(const sFONT& f, int code, int row) {
    int n = 0;
    for (int x = 0; x < f.Width; ++x) n += lit(f, code, x, row) ? 1 : 0;
    return n;
}

class TftFont : public ::testing::TestWithParam<TftFontCase> {};

TEST_P(TftFont, RecordDescribesItsTable) {
    const TftFontCase& c = GetParam();
    EXPECT_EQ(c.font->table, c.table);
    EXPECT_EQ(c.font->Width, c.width);
    EXPECT_EQ(c.font->Height, c.height);
    EXPECT_EQ(c.font->Size, c.size);
    // Size is the smallest number of bytes that holds Width pixels.
    EXPECT_GE(c.font->Size * 8, c.font->Width);
    EXPECT_LT((c.font->Size - 1) * 8, c.font->Width);
    EXPECT_EQ(c.declaredBytes, 95u * c.height * c.size);
}

TEST_P(TftFont, SpaceIsBlankAndEveryOtherCharacterHasInk) {
    const sFONT& f = *GetParam().font;
    for (int i = 0; i < f.Height * f.Size; ++i) {
        EXPECT_EQ(f.table[i], 0) << "byte " << i << " of the space";
    }
    for (int code = 33; code <= 126; ++code) {
        EXPECT_GE(ink(f, code).top, 0) << "character '" << static_cast<char>(code) << "' is empty";
    }
}

TEST_P(TftFont, NoBitIsSetRightOfTheCellWidth) {
    const sFONT& f = *GetParam().font;
    const uint32_t outside = (1u << (8 * f.Size - f.Width)) - 1u;
    for (int code = 32; code <= 126; ++code) {
        for (int row = 0; row < f.Height; ++row) {
            EXPECT_EQ(rowValue(f, code, row) & outside, 0u)
                << "character '" << static_cast<char>(code) << "' row " << row;
        }
    }
}

TEST_P(TftFont, AllCharactersAreDistinct) {
    const sFONT& f = *GetParam().font;
    const size_t glyphBytes = static_cast<size_t>(f.Height * f.Size);
    auto glyph = [&](int code) { return f.table + static_cast<size_t>(code - 32) * glyphBytes; };
    for (int a = 33; a <= 126; ++a) {
        for (int b = a + 1; b <= 126; ++b) {
            EXPECT_NE(std::memcmp(glyph(a), glyph(b), glyphBytes), 0)
                << "'" << static_cast<char>(a) << "' and '" << static_cast<char>(b) << "' are drawn alike";
        }
    }
}

// Characters are drawn side by side with no gap, so at least one edge column
// of the cell must stay blank in the whole font.
TEST_P(TftFont, NeighbouringCharactersNeverTouch) {
    const sFONT& f = *GetParam().font;
    bool leftUsed = false, rightUsed = false;
    for (int code = 33; code <= 126; ++code) {
        for (int row = 0; row < f.Height; ++row) {
            leftUsed = leftUsed || lit(f, code, 0, row);
            rightUsed = rightUsed || lit(f, code, f.Width - 1, row);
        }
    }
    EXPECT_FALSE(leftUsed && rightUsed);
}

TEST_P(TftFont, CapitalsAndDigitsStandOnOneBaselineBelowAClearTopRow) {
    const sFONT& f = *GetParam().font;
    const Ink h = ink(f, 'H');
    for (const char c : std::string("ABCDEFGHIKLMNOPRSTUVWXYZ0123456789")) {
        const Ink k = ink(f, c);
        EXPECT_GT(k.top, 0) << "'" << c << "' touches the top of the cell";
        EXPECT_NEAR(k.bottom, h.bottom, 1) << "'" << c << "' is off the baseline";
    }
    // Lower case without descenders sits on the same baseline.
    for (const char c : std::string("acehkmnrsuvwxz")) {
        EXPECT_NEAR(ink(f, c).bottom, h.bottom, 1) << "'" << c << "' is off the baseline";
    }
}

TEST_P(TftFont, DigitsAndCapitalsAreLargeForTheCell) {
    const sFONT& f = *GetParam().font;
    for (const char c : std::string("0123456789H")) {
        const Ink k = ink(f, c);
        EXPECT_GE((k.bottom - k.top + 1) * 100, 55 * f.Height) << "'" << c << "' is small";
        EXPECT_GE((k.right - k.left + 1) * 100, 55 * (f.Width - 1)) << "'" << c << "' is narrow";
    }
}

TEST_P(TftFont, DescendersReachWellBelowTheBaseline) {
    const sFONT& f = *GetParam().font;
    const int baseline = ink(f, 'x').bottom;
    const int xHeight = baseline - ink(f, 'x').top + 1;
    for (const char c : std::string("gjpqy")) {
        const Ink k = ink(f, c);
        const int depth = k.bottom - baseline;
        EXPECT_GE(depth * 10, xHeight * 3) << "descender of '" << c << "' is cut short";
        EXPECT_LE(k.bottom, f.Height - 1);
        // The descender is drawn, not just a stray row.
        for (int row = baseline + 1; row <= k.bottom; ++row) {
            EXPECT_GT(rowInk(f, c, row), 0) << "'" << c << "' has a gap in its descender at row " << row;
        }
    }
}

// The shapes the screens rely on sit at their usual heights: this also
// catches a table whose glyphs are shifted by one character.
TEST_P(TftFont, PunctuationSitsAtItsUsualHeight) {
    const sFONT& f = *GetParam().font;
    const int baseline = ink(f, 'H').bottom;
    const int capTop = ink(f, 'H').top;
    EXPECT_NEAR(ink(f, '.').bottom, baseline, 1);
    EXPECT_LT(ink(f, '.').bottom - ink(f, '.').top, (baseline - capTop) / 3);
    EXPECT_LT(ink(f, '^').centreY, ink(f, '-').centreY);
    EXPECT_LT(ink(f, '*').centreY, ink(f, '-').centreY);
    EXPECT_LT(ink(f, '-').centreY, ink(f, '.').centreY);
    EXPECT_GT(ink(f, '_').top, baseline);
    EXPECT_GT(ink(f, ',').bottom, baseline);
    // ':' is two dots: blank rows between two inked runs.
    const Ink colon = ink(f, ':');
    bool gap = false;
    for (int row = colon.top; row <= colon.bottom; ++row) gap = gap || rowInk(f, ':', row) == 0;
    EXPECT_TRUE(gap);
    // '/' rises to the right, '\' falls.
    const Ink slash = ink(f, '/');
    EXPECT_TRUE(lit(f, '/', slash.right, slash.top) || lit(f, '/', slash.right - 1, slash.top));
    EXPECT_TRUE(lit(f, '\\', ink(f, '\\').left, ink(f, '\\').top) ||
                lit(f, '\\', ink(f, '\\').left + 1, ink(f, '\\').top));
}

INSTANTIATE_TEST_SUITE_P(AllFonts, TftFont, ::testing::ValuesIn(kFonts),
                         [](const ::testing::TestParamInfo<TftFontCase>& p) { return std::string(p.param.name); });

// The letter A read straight from the table bytes where the layout puts it:
// inked, with a narrow apex above wide feet.
void expectLetterA(const uint8_t* table, size_t first, size_t last, int size) {
    ASSERT_EQ((last - first + 1) % static_cast<size_t>(size), 0u);
    std::vector<int> widths;
    for (size_t at = first; at <= last; at += static_cast<size_t>(size)) {
        int left = -1, right = -1;
        for (int b = 0; b < size; ++b) {
            for (int bit = 7; bit >= 0; --bit) {
                if ((table[at + static_cast<size_t>(b)] >> bit) & 1) {
                    const int x = b * 8 + (7 - bit);
                    if (left < 0) left = x;
                    right = x;
                }
            }
        }
        if (left >= 0) widths.push_back(right - left + 1);
    }
    ASSERT_GE(widths.size(), 5u);
    EXPECT_LT(widths.front() * 2, widths.back());
}

TEST(TftFontLayout, LetterAIsAtItsDocumentedBytes) {
    expectLetterA(Font12_Table, 396, 407, 1);
    expectLetterA(FontMenlo40_Table, 5280, 5439, 4);
}

TEST(TftFontLayout, Font12UsesBit7ForTheLeftmostPixelAndNeverBit0) {
    bool bit7 = false;
    for (size_t i = 0; i < sizeof Font12_Table; ++i) {
        bit7 = bit7 || (Font12_Table[i] & 0x80) != 0;
        EXPECT_EQ(Font12_Table[i] & 0x01, 0) << "byte " << i;
    }
    EXPECT_TRUE(bit7);
}

// The diagnostic screen stacks Font12 lines 10 pixels apart, so each line
// overwrites the bottom two rows of the one above.
TEST(TftFontLayout, Font12InkStaysInTheTopTenRows) {
    for (int code = 32; code <= 126; ++code) {
        EXPECT_EQ(rowValue(Font12, code, 10), 0u) << "'" << static_cast<char>(code) << "'";
        EXPECT_EQ(rowValue(Font12, code, 11), 0u) << "'" << static_cast<char>(code) << "'";
    }
}

// Font24, Font32 and Font40 are one typeface at three sizes: the proportions
// of their letters and the weight of their strokes scale together.
TEST(TftFontLayout, LargeFontsShareOneDesign) {
    const sFONT* fonts[] = {&Font24, &Font32, &Font40};
    for (const char c : std::string("HOn0")) {
        double minAspect = 1e9, maxAspect = 0, minStem = 1e9, maxStem = 0;
        for (const sFONT* f : fonts) {
            const Ink k = ink(*f, c);
            const int height = k.bottom - k.top + 1;
            const double aspect = static_cast<double>(k.right - k.left + 1) / height;
            // Width of the left stroke three quarters down the letter.
            const int mid = k.top + (height * 3) / 4;
            int x = k.left;
            while (x < f->Width && !lit(*f, c, x, mid)) ++x;
            int stem = 0;
            while (x + stem < f->Width && lit(*f, c, x + stem, mid)) ++stem;
            const double weight = static_cast<double>(stem) / height;
            minAspect = std::min(minAspect, aspect);
            maxAspect = std::max(maxAspect, aspect);
            minStem = std::min(minStem, weight);
            maxStem = std::max(maxStem, weight);
        }
        EXPECT_LT(maxAspect / minAspect, 1.2) << "'" << c << "' changes shape between sizes";
        EXPECT_LT(maxStem / minStem, 1.35) << "'" << c << "' changes weight between sizes";
    }
}

TEST(TftFontLayout, LargeFontsCarryTheirNames) {
    EXPECT_STREQ(FontMenlo32_Name, "Menlo 32px");
    EXPECT_STREQ(FontMenlo40_Name, "Menlo 40px");
}

}  // namespace
