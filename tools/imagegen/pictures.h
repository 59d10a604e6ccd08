// The two pictures of the trip computer.
#pragma once

#include "scene.h"

#include <string>
#include <vector>

namespace imagegen {

constexpr int kSplashWidth = 480;
constexpr int kSplashHeight = 153;
constexpr int kLogoWidth = 128;
constexpr int kLogoHeight = 64;

// The TFT start-up picture: a night road running into a gauge, a petrol pump
// marked "PB" on the left and an LPG cylinder marked "LPG" on the right.
std::vector<Color> drawSplash(const std::string& fontDir);

// The OLED logo, one bit per pixel (1 = lit), row after row.
std::vector<uint8_t> drawLogo(const std::string& fontDir);

}  // namespace imagegen
