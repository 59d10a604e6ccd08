#include "canvas.h"

#include <png.h>

#include <cstring>
#include <stdexcept>

namespace fontgen {

Canvas::Canvas(int width, int height, Rgb background)
    : w_(width), h_(height), rgb_(static_cast<size_t>(width * height * 3)) {
    fillRect(0, 0, width, height, background);
}

void Canvas::pixel(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) {
        return;
    }
    uint8_t* p = &rgb_[static_cast<size_t>((y * w_ + x) * 3)];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

void Canvas::fillRect(int x, int y, int w, int h, Rgb c) {
    for (int yy = y; yy < y + h; ++yy) {
        for (int xx = x; xx < x + w; ++xx) {
            pixel(xx, yy, c);
        }
    }
}

void Canvas::savePng(const std::string& path) const {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    img.width = static_cast<png_uint_32>(w_);
    img.height = static_cast<png_uint_32>(h_);
    img.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&img, path.c_str(), 0, rgb_.data(), 0, nullptr) == 0) {
        throw std::runtime_error("cannot write " + path + ": " + img.message);
    }
}

}  // namespace fontgen
