// The OLED logo (128 x 64, one bit per pixel).
//
// A car in side view, driving right along a road with speed streaks behind
// it; "KOMPUTER POKLADOWY" underneath.

#include "pictures.h"

#include <algorithm>
#include <cmath>

namespace imagegen {

namespace {

constexpr Vec kRearWheel{31, 41};
constexpr Vec kFrontWheel{97, 41};

bool carBody(Vec p) {
    static const std::vector<Vec> body = {
        {8, 41},  {7, 31},   {10, 25},  {26, 22}, {39, 11}, {74, 10},
        {88, 21}, {111, 24}, {119, 29}, {121, 35}, {120, 41},
    };
    if (!insidePolygon(p, body)) {
        return false;
    }
    // Side windows, split by the pillar between them.
    static const std::vector<Vec> rearWindow = {{31, 22}, {41, 14}, {56, 14}, {56, 22}};
    static const std::vector<Vec> frontWindow = {{60, 14}, {72, 14}, {82, 22}, {60, 22}};
    if (insidePolygon(p, rearWindow) || insidePolygon(p, frontWindow)) {
        return false;
    }
    // Door gap and handle.
    if (std::abs(p.x - 58.0) < 0.5 && p.y > 22 && p.y < 37) {
        return false;
    }
    if (std::abs(p.y - 26.5) < 0.5 && p.x > 62 && p.x < 67) {
        return false;
    }
    // Head lamp and tail lamp.
    if (roundedBoxDist(p, Vec{115.5, 29.5}, Vec{3, 1}, 0.5) < 0 || roundedBoxDist(p, Vec{9.5, 29}, Vec{1, 2}, 0.5) < 0) {
        return false;
    }
    return true;
}

bool wheel(Vec p, Vec c) {
    const double r = std::hypot(p.x - c.x, p.y - c.y);
    return (r < 9.0 && r > 5.5) || r < 2.5;
}

}  // namespace

std::vector<uint8_t> drawLogo(const std::string& fontDir) {
    const TextMask title(fontDir + "/DejaVuSans-Bold.ttf", "KOMPUTER POKLADOWY", 9, 1, 64, 62, true);

    std::vector<uint8_t> bits(static_cast<size_t>(kLogoWidth * kLogoHeight), 0);
    for (int y = 0; y < kLogoHeight; ++y) {
        for (int x = 0; x < kLogoWidth; ++x) {
            const Vec p{x + 0.5, y + 0.5};
            bool on = false;
            if (carBody(p)) {
                on = true;
                // Wheel arches cut into the body.
                if (circleDist(p, kRearWheel, 11) < 0 || circleDist(p, kFrontWheel, 11) < 0) {
                    on = false;
                }
            }
            if (wheel(p, kRearWheel) || wheel(p, kFrontWheel)) {
                on = true;
            }
            // Road under the wheels and streaks behind the car.
            if (y == 50) {
                on = true;
            }
            if ((y == 17 && x < 5) || (y == 24 && x < 3) || (y == 33 && x < 4)) {
                on = true;
            }
            if (title.inside(p)) {
                on = true;
            }
            bits[static_cast<size_t>(y * kLogoWidth + x)] = on ? 1 : 0;
        }
    }
    return bits;
}

}  // namespace imagegen
