#include "font_set.h"

#include <cstdio>
#include <stdexcept>

namespace fontgen {

// Cell plan shared by every font: ink stays out of the rightmost column, so
// two neighbouring characters never touch, and the pen origin is placed so
// that the face's advance is centred in the remaining columns.  Sizes are the
// largest at which capitals, digits and descenders all fit the cell.
//
// Small cells use the face's hinted monochrome rendering, which keeps strokes
// on whole pixels; where a bolder look is wanted there, the Book face is
// widened by one pixel rather than using the Bold face, whose hinted stems
// come out one or two pixels wide unevenly at these sizes.  The large fonts
// use the Bold face rendered anti-aliased and cut at half coverage.
const std::vector<FontPlan>& fontPlans() {
    static const std::vector<FontPlan> plans = {
        // Font12 lines are stacked 10 px apart on the diagnostic screen, so the
        // whole glyph, descenders included, is kept within the top 10 rows.
        {Target::Tft, "Font12", "Font12_Table", "font12", nullptr, nullptr, 7, 12,
         "DejaVuSansMono.ttf", 10, 0, RenderMode::MonoHinted, 128, 8, 9,
         "hinted monochrome rendering, one-pixel strokes", "W", 9},
        {Target::Tft, "Font16", "Font16_Table", "font16", nullptr, nullptr, 11, 16,
         "DejaVuSansMono.ttf", 15, 0, RenderMode::MonoHintedSmeared, 128, 12, 15,
         "hinted monochrome rendering, emboldened by one pixel"},
        {Target::Tft, "Font20", "Font20_Table", "font20", nullptr, nullptr, 14, 20,
         "DejaVuSansMono.ttf", 20, 21, RenderMode::MonoHintedSmeared, 128, 16, 19,
         "hinted monochrome rendering, emboldened by one pixel"},
        // Font24, Font32 and Font40 are one typeface at three sizes.
        {Target::Tft, "Font24", "FontMenlo24_Table", "font24", nullptr, nullptr, 15, 24,
         "DejaVuSansMono-Bold.ttf", 23, 0, RenderMode::GrayThreshold, 128, 19, 23,
         "anti-aliased rendering cut at half coverage"},
        {Target::Tft, "Font32", "Font32_Table", "FontMenlo32", "FontMenlo32_Name", "Menlo 32px", 20, 32,
         "DejaVuSansMono-Bold.ttf", 31, 0, RenderMode::GrayThreshold, 128, 25, 31,
         "anti-aliased rendering cut at half coverage"},
        {Target::Tft, "Font40", "FontMenlo40_Table", "FontMenlo40", "FontMenlo40_Name", "Menlo 40px", 25, 40,
         "DejaVuSansMono-Bold.ttf", 39, 0, RenderMode::GrayThreshold, 128, 31, 39,
         "anti-aliased rendering cut at half coverage"},
        {Target::Oled, "Font_11x18", "Font11x18", "fonts", nullptr, nullptr, 11, 18,
         "DejaVuSansMono.ttf", 17, 16, RenderMode::MonoHintedSmeared, 128, 14, 17,
         "hinted monochrome rendering, emboldened by one pixel"},
        {Target::Oled, "Font_16x26", "Font16x26", "fonts", nullptr, nullptr, 16, 26,
         "DejaVuSansMono-Bold.ttf", 25, 0, RenderMode::GrayThreshold, 128, 20, 25,
         "anti-aliased rendering cut at half coverage"},
    };
    return plans;
}

BuiltFont buildFont(const FontPlan& plan, const std::string& fontDir, bool report) {
    BuiltFont font;
    font.plan = &plan;
    font.fontPath = fontDir + "/" + plan.faceFile;

    RenderParams params;
    params.fontPath = font.fontPath;
    params.pixelSize = plan.pixelSize;
    params.pixelWidth = plan.pixelWidth;
    params.narrowed = plan.narrowed;
    params.narrowedWidth = plan.narrowedWidth;
    params.mode = plan.mode;
    params.threshold = plan.threshold;
    Rasterizer rast(params);
    font.faceDescription = rast.familyName() + " " + rast.styleName() + ", " + rast.versionString();

    const int advance = rast.measure('M').advance;
    CellLayout& L = font.layout;
    L.width = plan.width;
    L.height = plan.height;
    L.baseline = plan.baseline;
    L.firstCol = 0;
    L.lastCol = plan.width - 2;
    L.firstRow = 0;
    L.lastRow = plan.lastRow;
    const int areaW = L.lastCol - L.firstCol + 1;
    L.originX = L.firstCol + (areaW - advance) / 2;
    if (L.originX < 0) {
        throw std::runtime_error(std::string(plan.record) + ": advance wider than the cell");
    }

    if (report) {
        std::printf("%s: %s %d px, advance %d, origin column %d, baseline row %d\n", plan.record,
                    plan.faceFile, plan.pixelSize, advance, L.originX, L.baseline);
        for (const char c : std::string("HMWx0gpyj(|_@$^v*%")) {
            const auto e = rast.measure(c);
            std::printf("  '%c' ink cols %d..%d, rows above baseline %d..%d\n", c,
                        e.left + L.originX, e.right + L.originX, e.bottom, e.top);
        }
    }

    for (int code = kFirstCode; code <= kLastCode; ++code) {
        GlyphNote note;
        font.glyphs.push_back(rast.renderCell(code, L, note));
        if (note.pixelSize != plan.pixelSize || note.pixelWidth != (plan.pixelWidth > 0 ? plan.pixelWidth : plan.pixelSize) || note.shiftX != 0 || note.shiftY != 0) {
            font.notes.push_back(note);
            if (report) {
                std::printf("  adjusted '%c': %dx%d px, moved %+d columns, %+d rows\n", code, note.pixelWidth, note.pixelSize,
                            note.shiftX, note.shiftY);
            }
        }
    }
    return font;
}

std::vector<uint8_t> tftTable(const BuiltFont& font) {
    const int w = font.plan->width;
    const int h = font.plan->height;
    const int bytes = tftRowBytes(w);
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(kGlyphCount * h * bytes));
    for (const Bitmap& g : font.glyphs) {
        for (int y = 0; y < h; ++y) {
            uint32_t v = 0;
            for (int x = 0; x < w; ++x) {
                if (g.at(x, y)) {
                    v |= 1u << (8 * bytes - 1 - x);
                }
            }
            for (int b = bytes - 1; b >= 0; --b) {
                out.push_back(static_cast<uint8_t>(v >> (8 * b)));
            }
        }
    }
    return out;
}

std::vector<uint16_t> oledTable(const BuiltFont& font) {
    const int w = font.plan->width;
    const int h = font.plan->height;
    std::vector<uint16_t> out;
    out.reserve(static_cast<size_t>(kGlyphCount * h));
    for (const Bitmap& g : font.glyphs) {
        for (int y = 0; y < h; ++y) {
            uint16_t v = 0;
            for (int x = 0; x < w; ++x) {
                if (g.at(x, y)) {
                    v = static_cast<uint16_t>(v | (0x8000u >> x));
                }
            }
            out.push_back(v);
        }
    }
    return out;
}

}  // namespace fontgen
