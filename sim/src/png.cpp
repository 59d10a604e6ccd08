#include "sim/png.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "sim/files.h"

namespace sim {

namespace {
struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};
}  // namespace

namespace {
void append_bytes(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), n);
}
void no_flush(png_structp) {}
}  // namespace

std::string encode_png(const Picture& picture) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("cannot encode a PNG picture: out of memory");
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("cannot encode a PNG picture");
  }
  png_set_write_fn(png, &out, append_bytes, no_flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 6);
  png_write_info(png, info);
  for (int y = 0; y < picture.height; ++y) png_write_row(png, const_cast<png_bytep>(picture.at(0, y)));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

void write_png(const std::string& path, const Picture& picture) { write_file(path, encode_png(picture)); }

Picture read_png(const std::string& path) {
  std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) throw std::runtime_error("cannot read " + path);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw std::runtime_error("cannot read " + path);
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw std::runtime_error(path + " is not a readable PNG picture");
  }
  png_init_io(png, f.get());
  png_read_info(png, info);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_palette_to_rgb(png);
  png_set_gray_to_rgb(png);
  png_read_update_info(png, info);
  Picture p(static_cast<int>(png_get_image_width(png, info)), static_cast<int>(png_get_image_height(png, info)));
  for (int y = 0; y < p.height; ++y) png_read_row(png, p.at(0, y), nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return p;
}

}  // namespace sim
