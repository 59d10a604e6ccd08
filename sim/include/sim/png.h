// Writing pictures (display screenshots) as PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// An 8-bit RGB picture, row by row from the top, three bytes a pixel.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;

  Picture() = default;
  Picture(int w, int h) : width(w), height(h), rgb(static_cast<std::size_t>(w) * h * 3, 0) {}
  std::uint8_t* at(int x, int y) { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
  const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

// The picture as the bytes of a PNG file.
std::string encode_png(const Picture& picture);
// Writes the picture whole or not at all; throws OutputError naming the file
// and the reason on failure.
void write_png(const std::string& path, const Picture& picture);
// Reads a PNG written by write_png (for tests and tools).
Picture read_png(const std::string& path);

}  // namespace sim
