#include "scene.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace imagegen {

Color rgb(int r, int g, int b) { return Color{r / 255.0, g / 255.0, b / 255.0}; }

Color mix(Color a, Color b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return Color{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Color add(Color a, Color b, double k) {
    return Color{std::clamp(a.r + k * b.r, 0.0, 1.0), std::clamp(a.g + k * b.g, 0.0, 1.0),
                 std::clamp(a.b + k * b.b, 0.0, 1.0)};
}

double circleDist(Vec p, Vec c, double r) { return std::hypot(p.x - c.x, p.y - c.y) - r; }

double roundedBoxDist(Vec p, Vec c, Vec half, double radius) {
    const double qx = std::abs(p.x - c.x) - half.x + radius;
    const double qy = std::abs(p.y - c.y) - half.y + radius;
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

double segmentDist(Vec p, Vec a, Vec b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool insidePolygon(Vec p, const std::vector<Vec>& poly) {
    bool in = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Vec a = poly[i], b = poly[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
            in = !in;
        }
    }
    return in;
}

TextMask::TextMask(const std::string& fontPath, const std::string& text, double pixelHeight, int oversample,
                   double centreX, double baselineY, bool monochrome)
    : over_(oversample) {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&lib) != 0 || FT_New_Face(lib, fontPath.c_str(), 0, &face) != 0) {
        if (lib != nullptr) FT_Done_FreeType(lib);
        throw std::runtime_error("cannot open font " + fontPath);
    }
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(pixelHeight * oversample * 64)), 72, 72);
    const FT_Int32 flags =
        FT_LOAD_RENDER | (monochrome ? (FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) : FT_LOAD_TARGET_NORMAL);

    // First pass: the extent of the ink along a pen line starting at 0.
    struct Placed {
        std::vector<uint8_t> cov;
        int w, h, x, y;  // x, y: top-left relative to pen origin (y down)
    };
    std::vector<Placed> glyphs;
    long pen = 0;
    int minX = 1 << 30, maxX = -(1 << 30), minY = 1 << 30, maxY = -(1 << 30);
    for (const char ch : text) {
        if (FT_Load_Char(face, static_cast<unsigned char>(ch), flags) != 0) {
            continue;
        }
        const FT_Bitmap& bm = face->glyph->bitmap;
        Placed g{{}, static_cast<int>(bm.width), static_cast<int>(bm.rows),
                 static_cast<int>(pen >> 6) + face->glyph->bitmap_left, -face->glyph->bitmap_top};
        g.cov.resize(static_cast<size_t>(g.w * g.h));
        for (int y = 0; y < g.h; ++y) {
            for (int x = 0; x < g.w; ++x) {
                const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
                uint8_t v = 0;
                if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
                    v = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
                } else {
                    v = row[x];
                }
                g.cov[static_cast<size_t>(y * g.w + x)] = v;
            }
        }
        if (g.w > 0 && g.h > 0) {
            minX = std::min(minX, g.x);
            maxX = std::max(maxX, g.x + g.w);
            minY = std::min(minY, g.y);
            maxY = std::max(maxY, g.y + g.h);
        }
        pen += face->glyph->advance.x;
        glyphs.push_back(std::move(g));
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    if (maxX <= minX) {
        return;
    }

    w_ = maxX - minX;
    h_ = maxY - minY;
    cov_.assign(static_cast<size_t>(w_ * h_), 0);
    for (const Placed& g : glyphs) {
        for (int y = 0; y < g.h; ++y) {
            for (int x = 0; x < g.w; ++x) {
                uint8_t& dst = cov_[static_cast<size_t>((g.y - minY + y) * w_ + (g.x - minX + x))];
                dst = std::max(dst, g.cov[static_cast<size_t>(y * g.w + x)]);
            }
        }
    }
    originX_ = centreX * over_ - w_ / 2.0;
    originY_ = baselineY * over_ + minY;
}

bool TextMask::inside(Vec p) const {
    const int x = static_cast<int>(std::floor(p.x * over_ - originX_));
    const int y = static_cast<int>(std::floor(p.y * over_ - originY_));
    if (x < 0 || y < 0 || x >= w_ || y >= h_) {
        return false;
    }
    return cov_[static_cast<size_t>(y * w_ + x)] >= 128;
}

std::vector<Color> renderSupersampled(int width, int height, int n, const std::function<Color(Vec)>& shade) {
    std::vector<Color> out(static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Color sum;
            for (int j = 0; j < n; ++j) {
                for (int i = 0; i < n; ++i) {
                    const Color c = shade(Vec{x + (i + 0.5) / n, y + (j + 0.5) / n});
                    sum.r += c.r;
                    sum.g += c.g;
                    sum.b += c.b;
                }
            }
            const double k = 1.0 / (n * n);
            out[static_cast<size_t>(y * width + x)] = Color{sum.r * k, sum.g * k, sum.b * k};
        }
    }
    return out;
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

void writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbData) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    img.width = static_cast<png_uint_32>(width);
    img.height = static_cast<png_uint_32>(height);
    img.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&img, path.c_str(), 0, rgbData.data(), 0, nullptr) == 0) {
        throw std::runtime_error("cannot write " + path + ": " + img.message);
    }
}

}  // namespace imagegen
