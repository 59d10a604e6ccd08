// A small RGB picture for the preview sheets, written out as PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fontgen {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

class Canvas {
public:
    Canvas(int width, int height, Rgb background);

    int width() const { return w_; }
    int height() const { return h_; }

    void pixel(int x, int y, Rgb c);
    void fillRect(int x, int y, int w, int h, Rgb c);
    // Draws a `w` x `h` one-bit picture given by `lit(col, row)` with each
    // pixel as a `scale` x `scale` block; unlit pixels take `bg` unless it is
    // null (transparent).
    template <typename Lit>
    void blit(int x, int y, int w, int h, int scale, Lit lit, Rgb fg, const Rgb* bg) {
        for (int row = 0; row < h; ++row) {
            for (int col = 0; col < w; ++col) {
                if (lit(col, row)) {
                    fillRect(x + col * scale, y + row * scale, scale, scale, fg);
                } else if (bg != nullptr) {
                    fillRect(x + col * scale, y + row * scale, scale, scale, *bg);
                }
            }
        }
    }
    // Writes the picture as an 8-bit RGB PNG; throws on failure.
    void savePng(const std::string& path) const;

private:
    int w_, h_;
    std::vector<uint8_t> rgb_;
};

}  // namespace fontgen
