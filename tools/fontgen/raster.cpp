#include "raster.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H

#include <algorithm>
#include <stdexcept>

namespace fontgen {

bool Bitmap::empty() const {
    return std::none_of(px.begin(), px.end(), [](uint8_t v) { return v != 0; });
}

namespace {

// A rendered glyph cut down to its ink, positioned relative to the pen
// origin: column `left` and row `top` (rows above the baseline) of its
// top-left pixel.
struct Ink {
    Bitmap bits;
    int left = 0;
    int top = 0;
    int advance = 0;
};

[[noreturn]] void fail(const std::string& what, FT_Error err) {
    throw std::runtime_error(what + " (FreeType error " + std::to_string(err) + ")");
}

// Synthetic bold: every ink pixel also inks its right neighbour, unless that
// would close a one-pixel gap to the next stroke (keeps 'm', 'M', '#' open).
Bitmap smearRight(const Bitmap& src) {
    Bitmap out(src.width + 1, src.height);
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x) {
            if (!src.at(x, y)) {
                continue;
            }
            out.set(x, y, true);
            const bool gapAhead = x + 2 < src.width && !src.at(x + 1, y) && src.at(x + 2, y);
            if (!gapAhead) {
                out.set(x + 1, y, true);
            }
        }
    }
    return out;
}

}  // namespace

struct Rasterizer::Impl {
    RenderParams params;
    FT_Library lib = nullptr;
    FT_Face face = nullptr;

    Ink render(int code, int pixelWidth, int pixelHeight) {
        if (FT_Error e = FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(pixelWidth),
                                            static_cast<FT_UInt>(pixelHeight))) {
            fail("cannot set pixel size " + std::to_string(pixelWidth) + "x" + std::to_string(pixelHeight), e);
        }
        FT_Int32 flags = FT_LOAD_RENDER;
        const bool mono = params.mode != RenderMode::GrayThreshold;
        if (mono) {
            flags |= FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME;
        } else {
            flags |= FT_LOAD_TARGET_NORMAL;
        }
        if (FT_Error e = FT_Load_Char(face, static_cast<FT_ULong>(code), flags)) {
            fail("cannot render character " + std::to_string(code), e);
        }
        const FT_GlyphSlot g = face->glyph;
        const FT_Bitmap& b = g->bitmap;
        const int w = static_cast<int>(b.width);
        const int h = static_cast<int>(b.rows);

        Bitmap full(w, h);
        for (int y = 0; y < h; ++y) {
            const unsigned char* row = b.buffer + static_cast<ptrdiff_t>(y) * b.pitch;
            for (int x = 0; x < w; ++x) {
                bool on = false;
                if (b.pixel_mode == FT_PIXEL_MODE_MONO) {
                    on = (row[x >> 3] & (0x80 >> (x & 7))) != 0;
                } else if (b.pixel_mode == FT_PIXEL_MODE_GRAY) {
                    on = row[x] >= params.threshold;
                } else {
                    throw std::runtime_error("unexpected FreeType pixel mode");
                }
                full.set(x, y, on);
            }
        }
        if (params.mode == RenderMode::MonoHintedSmeared) {
            full = smearRight(full);
        }

        // Trim blank margins so the placement works on real ink only.
        int x0 = full.width, x1 = -1, y0 = h, y1 = -1;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < full.width; ++x) {
                if (full.at(x, y)) {
                    x0 = std::min(x0, x);
                    x1 = std::max(x1, x);
                    y0 = std::min(y0, y);
                    y1 = std::max(y1, y);
                }
            }
        }
        Ink ink;
        ink.advance = static_cast<int>(g->advance.x >> 6);
        if (x1 < 0) {
            return ink;  // no ink at all (space, or a hairline lost to thresholding)
        }
        ink.bits = Bitmap(x1 - x0 + 1, y1 - y0 + 1);
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                ink.bits.set(x - x0, y - y0, full.at(x, y));
            }
        }
        ink.left = g->bitmap_left + x0;
        ink.top = g->bitmap_top - y0;
        return ink;
    }
};

Rasterizer::Rasterizer(const RenderParams& params) : impl_(std::make_unique<Impl>()) {
    impl_->params = params;
    if (FT_Error e = FT_Init_FreeType(&impl_->lib)) {
        fail("cannot initialise FreeType", e);
    }
    if (FT_Error e = FT_New_Face(impl_->lib, params.fontPath.c_str(), 0, &impl_->face)) {
        FT_Done_FreeType(impl_->lib);
        fail("cannot open font " + params.fontPath, e);
    }
}

Rasterizer::~Rasterizer() {
    FT_Done_Face(impl_->face);
    FT_Done_FreeType(impl_->lib);
}

Bitmap Rasterizer::renderCell(int code, const CellLayout& layout, GlyphNote& note) {
    const RenderParams& p = impl_->params;
    int baseWidth = p.pixelWidth > 0 ? p.pixelWidth : p.pixelSize;
    if (p.narrowed.find(static_cast<char>(code)) != std::string::npos) {
        baseWidth = p.narrowedWidth;
    }
    Bitmap cell(layout.width, layout.height);
    note = GlyphNote{code, p.pixelSize, baseWidth, 0, 0};
    const int areaW = layout.lastCol - layout.firstCol + 1;
    const int areaH = layout.lastRow - layout.firstRow + 1;

    // Sizes to try, largest first: the font's own size; then narrower at the
    // same height, down to three quarters of the width; then smaller overall.
    std::vector<std::pair<int, int>> sizes;
    for (int w = baseWidth; w * 4 >= baseWidth * 3; --w) {
        sizes.emplace_back(w, p.pixelSize);
    }
    for (int h = p.pixelSize - 1; h >= 4; --h) {
        sizes.emplace_back(std::max(1, baseWidth * h / p.pixelSize), h);
    }

    for (const auto& [w, h] : sizes) {
        const Ink ink = impl_->render(code, w, h);
        if (ink.bits.width == 0) {
            note.pixelWidth = w;
            note.pixelSize = h;
            return cell;
        }
        if (ink.bits.width > areaW || ink.bits.height > areaH) {
            continue;
        }
        const int wantX = layout.originX + ink.left;
        const int wantY = layout.baseline - ink.top;
        const int x = std::clamp(wantX, layout.firstCol, layout.lastCol - ink.bits.width + 1);
        const int y = std::clamp(wantY, layout.firstRow, layout.lastRow - ink.bits.height + 1);
        for (int r = 0; r < ink.bits.height; ++r) {
            for (int c = 0; c < ink.bits.width; ++c) {
                if (ink.bits.at(c, r)) {
                    cell.set(x + c, y + r, true);
                }
            }
        }
        note.pixelWidth = w;
        note.pixelSize = h;
        note.shiftX = x - wantX;
        note.shiftY = y - wantY;
        return cell;
    }
    throw std::runtime_error("character " + std::to_string(code) + " does not fit its cell");
}

Rasterizer::Extents Rasterizer::measure(int code) {
    const RenderParams& p = impl_->params;
    const Ink ink = impl_->render(code, p.pixelWidth > 0 ? p.pixelWidth : p.pixelSize, p.pixelSize);
    Extents e;
    e.advance = ink.advance;
    if (ink.bits.width == 0) {
        return e;
    }
    e.ink = true;
    e.left = ink.left;
    e.right = ink.left + ink.bits.width - 1;
    e.top = ink.top;
    e.bottom = ink.top - ink.bits.height + 1;
    return e;
}

std::string Rasterizer::familyName() const {
    return impl_->face->family_name ? impl_->face->family_name : "";
}

std::string Rasterizer::styleName() const {
    return impl_->face->style_name ? impl_->face->style_name : "";
}

std::string Rasterizer::versionString() const {
    const FT_UInt count = FT_Get_Sfnt_Name_Count(impl_->face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(impl_->face, i, &name) != 0) {
            continue;
        }
        // Plain one-byte Macintosh Roman strings are the simplest to read.
        if (name.name_id == TT_NAME_ID_VERSION_STRING && name.platform_id == TT_PLATFORM_MACINTOSH &&
            name.encoding_id == TT_MAC_ID_ROMAN) {
            return std::string(reinterpret_cast<const char*>(name.string), name.string_len);
        }
    }
    return "unknown version";
}

std::string freetypeVersion() {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) {
        return "?";
    }
    FT_Int major = 0, minor = 0, patch = 0;
    FT_Library_Version(lib, &major, &minor, &patch);
    FT_Done_FreeType(lib);
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

}  // namespace fontgen
