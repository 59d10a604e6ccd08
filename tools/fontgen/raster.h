// Glyph rasterisation for kp-fontgen: renders characters of a TrueType face
// with FreeType and places them, one bit per pixel, into fixed-size cells.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fontgen {

// A one-bit picture, row-major, 1 = ink.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> px;

    Bitmap() = default;
    Bitmap(int w, int h) : width(w), height(h), px(static_cast<size_t>(w * h), 0) {}
    bool at(int x, int y) const { return px[static_cast<size_t>(y * width + x)] != 0; }
    void set(int x, int y, bool v) { px[static_cast<size_t>(y * width + x)] = v ? 1 : 0; }
    bool empty() const;
};

// How outlines become pixels.
enum class RenderMode {
    MonoHinted,  // FreeType monochrome rendering with the face's own hinting
    MonoHintedSmeared,  // the same, each ink pixel doubled to the right (bold)
    GrayThreshold,  // anti-aliased rendering, then coverage >= threshold is ink
};

// Where the glyphs of one font may put ink inside the cell.
struct CellLayout {
    int width = 0;        // cell width in pixels
    int height = 0;       // cell height in pixels
    int baseline = 0;     // first cell row below the baseline
    int originX = 0;      // cell column of the pen origin
    int firstCol = 0;     // leftmost column ink may use
    int lastCol = 0;      // rightmost column ink may use
    int firstRow = 0;     // topmost row ink may use
    int lastRow = 0;      // bottom row ink may use
};

struct RenderParams {
    std::string fontPath;
    int pixelSize = 0;   // em height in pixels
    int pixelWidth = 0;  // em width in pixels; 0 = same as pixelSize
    RenderMode mode = RenderMode::GrayThreshold;
    int threshold = 128;  // 0..255, used by GrayThreshold
    std::string narrowed;  // characters to draw at narrowedWidth instead
    int narrowedWidth = 0;
};

// What happened to a glyph while it was fitted into its cell.
struct GlyphNote {
    int code = 0;
    int pixelSize = 0;   // em height it was finally rendered at
    int pixelWidth = 0;  // em width it was finally rendered at
    int shiftX = 0;     // columns it was moved to stay inside the cell
    int shiftY = 0;     // rows it was moved to stay inside the cell
};

class Rasterizer {
public:
    explicit Rasterizer(const RenderParams& params);
    ~Rasterizer();
    Rasterizer(const Rasterizer&) = delete;
    Rasterizer& operator=(const Rasterizer&) = delete;

    // Renders `code` and places it in a cell of `layout`.  A glyph that would
    // leave the allowed area is first moved back inside; one that is wider
    // than the area is rendered again narrower (same height) until it fits,
    // and one that is taller, smaller in both directions.
    Bitmap renderCell(int code, const CellLayout& layout, GlyphNote& note);

    // Ink extents of a glyph at the base size, relative to the pen origin
    // (x right, y up: top = rows above the baseline, bottom = lowest row).
    struct Extents {
        bool ink = false;
        int left = 0, right = 0, top = 0, bottom = 0;
        int advance = 0;
    };
    Extents measure(int code);

    std::string familyName() const;
    std::string styleName() const;
    std::string versionString() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

std::string freetypeVersion();

}  // namespace fontgen
