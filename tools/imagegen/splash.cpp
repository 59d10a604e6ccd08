// The TFT start-up picture (480 x 153).
//
// A night road runs from the bottom edge to a vanishing point on the
// horizon, where the hub of a half-round gauge sits; the gauge's scale runs
// from green through yellow to red and its needle points up to the right.  A
// petrol pump with "PB" stands on the left, an LPG cylinder with "LPG" on the
// right.  The top edge is almost black so the picture blends into the screen.

#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <numbers>

namespace imagegen {

namespace {

constexpr double kHorizon = 112.0;
constexpr Vec kHub{240.0, 112.0};
constexpr double kPi = std::numbers::pi;

// Smooth 0..1 coverage from a signed distance, for glows.
double glow(double dist, double width) { return std::exp(-std::max(dist, 0.0) / width); }

// A hash of a pixel position for the stars; stable across runs.
uint32_t hash2(int x, int y) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

Color sky(Vec p) {
    const double t = std::clamp(p.y / kHorizon, 0.0, 1.0);
    Color c = mix(rgb(3, 4, 14), rgb(28, 38, 92), std::pow(t, 1.7));
    // Warm glow of the horizon behind the gauge.
    const double gx = (p.x - kHub.x) / 150.0;
    const double gy = (kHorizon - p.y) / 20.0;
    c = add(c, rgb(255, 118, 48), 0.60 * std::exp(-gx * gx) * std::exp(-std::max(gy, 0.0)));
    // Stars in the upper sky, away from the gauge.
    const int sx = static_cast<int>(p.x), sy = static_cast<int>(p.y);
    if (sx > 2 && sy > 2 && p.y < kHorizon - 34 && std::hypot(p.x - kHub.x, p.y - kHub.y) > 100) {
        const uint32_t h = hash2(sx, sy);
        if (h % 1000 < 5) {
            const double d = std::hypot(p.x - (sx + 0.5), p.y - (sy + 0.5));
            if (d < 0.75) {
                c = add(c, rgb(200, 215, 255), 0.35 + 0.5 * ((h >> 10) % 100) / 100.0);
            }
        }
    }
    return c;
}

Color ground(Vec p) {
    const double t = std::clamp((p.y - kHorizon) / (kSplashHeight - kHorizon), 0.0, 1.0);
    Color c = mix(rgb(18, 20, 36), rgb(4, 5, 10), t);

    // The road: a wedge from the vanishing point to the bottom edge.
    const double halfWidth = t * 190.0;
    const double dx = std::abs(p.x - kHub.x);
    if (dx < halfWidth) {
        c = mix(rgb(44, 46, 60), rgb(24, 25, 33), t);
        // Reflection of the sky glow on the wet road.
        c = add(c, rgb(255, 118, 48), 0.22 * std::exp(-(dx / 36.0) * (dx / 36.0)) * (1.0 - t));
        // Edge lines.
        if (std::abs(dx - halfWidth * 0.92) < 0.35 + 1.4 * t) {
            c = mix(c, rgb(170, 172, 184), 0.85);
        }
        // Centre dashes, spaced evenly along the road in depth.
        const double depth = 90.0 / (p.y - kHorizon + 2.0);
        if (dx < 0.3 + 1.8 * t && std::fmod(depth, 2.0) < 1.0) {
            c = rgb(236, 200, 84);
        }
    }
    return c;
}

Color gauge(Vec p, Color c) {
    const double dx = p.x - kHub.x, dy = kHub.y - p.y;
    const double r = std::hypot(dx, dy);
    const double angle = std::atan2(dy, dx);  // 0 = right, pi/2 = up

    if (dy >= 0.0) {
        // Dial face: a darker half disc with a soft rim.
        if (r < 95.0) {
            c = mix(c, rgb(6, 8, 20), 0.62);
        }
        // Scale band, coloured by angle from green (left) to red (right).
        if (r > 86.0 && r < 92.0) {
            const double u = 1.0 - angle / kPi;
            const Color band = u < 0.55 ? mix(rgb(40, 214, 112), rgb(250, 212, 60), u / 0.55)
                                        : mix(rgb(250, 212, 60), rgb(242, 58, 48), (u - 0.55) / 0.45);
            c = band;
        }
        // Ticks every 15 degrees, longer and white every 45.
        for (int k = 0; k <= 12; ++k) {
            const double a = k * kPi / 12.0;
            const bool major = k % 3 == 0;
            const Vec dir{std::cos(a), -std::sin(a)};
            const double r0 = major ? 70.0 : 75.0;
            const Vec from{kHub.x + dir.x * r0, kHub.y + dir.y * r0};
            const Vec to{kHub.x + dir.x * 82.0, kHub.y + dir.y * 82.0};
            if (segmentDist(p, from, to) < (major ? 1.1 : 0.65)) {
                c = major ? rgb(232, 236, 246) : rgb(130, 140, 168);
            }
        }
    }

    // Needle, tapering from the hub to the tip, with a faint glow.
    const double needleAngle = 58.0 * kPi / 180.0;
    const Vec tip{kHub.x + 80.0 * std::cos(needleAngle), kHub.y - 80.0 * std::sin(needleAngle)};
    const double along = std::clamp((dx * std::cos(needleAngle) + dy * std::sin(needleAngle)) / 80.0, 0.0, 1.0);
    const double width = 2.6 * (1.0 - along) + 0.7;
    const double d = segmentDist(p, kHub, tip);
    c = add(c, rgb(255, 80, 30), 0.45 * glow(d - width, 3.0) * (dy > -6.0 ? 1.0 : 0.0));
    if (d < width) {
        c = mix(rgb(255, 120, 60), rgb(255, 70, 30), along);
    }

    // Hub.
    if (r < 8.5) {
        c = mix(rgb(214, 218, 228), rgb(70, 74, 92), (p.y - (kHub.y - 8.5)) / 17.0);
    }
    if (r < 3.0) {
        c = rgb(22, 22, 32);
    }
    return c;
}

Color pump(Vec p, Color c) {
    const Color green = rgb(52, 208, 112);
    const Color dark = rgb(28, 140, 74);
    // Hose from the top right of the body down to the nozzle holder.
    const Vec hose[] = {{84, 46}, {96, 46}, {103, 54}, {103, 84}, {98, 90}, {92, 90}};
    for (size_t i = 0; i + 1 < std::size(hose); ++i) {
        if (segmentDist(p, hose[i], hose[i + 1]) < 1.9) {
            c = dark;
        }
    }
    // Nozzle resting on top of the hose's high point.
    if (roundedBoxDist(p, Vec{99, 41}, Vec{5, 2.5}, 1.5) < 0) {
        c = green;
    }
    // Body with a slight vertical shade.
    if (roundedBoxDist(p, Vec{66, 68}, Vec{20, 32}, 5) < 0) {
        c = mix(green, dark, (p.y - 36.0) / 64.0 * 0.6);
        // Display window with a lit line.
        if (roundedBoxDist(p, Vec{66, 53}, Vec{13, 9}, 2) < 0) {
            c = rgb(10, 36, 24);
            if (std::abs(p.y - 53.0) < 1.0 && std::abs(p.x - 66.0) < 8.0) {
                c = rgb(120, 255, 180);
            }
        }
    }
    // Base plate.
    if (roundedBoxDist(p, Vec{66, 103}, Vec{25, 3.5}, 1.5) < 0) {
        c = dark;
    }
    return c;
}

Color cylinder(Vec p, Color c) {
    const Color blue = rgb(64, 162, 250);
    const Color dark = rgb(30, 96, 190);
    // Valve handle and neck.
    if (roundedBoxDist(p, Vec{410, 29}, Vec{12, 2.5}, 1.5) < 0 || roundedBoxDist(p, Vec{410, 36}, Vec{6, 5}, 1.5) < 0) {
        c = rgb(176, 188, 210);
    }
    // Body: a capsule, lit from the left.
    if (roundedBoxDist(p, Vec{410, 72}, Vec{20, 32}, 15) < 0) {
        const double hl = std::max(0.0, 1.0 - std::abs(p.x - 398.0) / 7.0);
        c = add(mix(blue, dark, (p.x - 390.0) / 40.0 * 0.7), rgb(255, 255, 255), 0.35 * hl);
        // Two welded seams.
        if (std::abs(p.y - 58.0) < 1.2 || std::abs(p.y - 88.0) < 1.2) {
            c = mix(c, dark, 0.8);
        }
    }
    // Foot ring.
    if (roundedBoxDist(p, Vec{410, 104}, Vec{15, 3}, 1.5) < 0) {
        c = dark;
    }
    return c;
}

}  // namespace

std::vector<Color> drawSplash(const std::string& fontDir) {
    const std::string face = fontDir + "/DejaVuSans-Bold.ttf";
    constexpr int kSamples = 4;
    const TextMask pb(face, "PB", 30, kSamples, 66, 140);
    const TextMask lpg(face, "LPG", 30, kSamples, 410, 140);

    return renderSupersampled(kSplashWidth, kSplashHeight, kSamples, [&](Vec p) {
        Color c = p.y < kHorizon ? sky(p) : ground(p);
        c = gauge(p, c);
        c = pump(p, c);
        c = cylinder(p, c);
        if (pb.inside(p)) {
            c = rgb(84, 226, 136);
        }
        if (lpg.inside(p)) {
            c = rgb(96, 182, 255);
        }
        return c;
    });
}

}  // namespace imagegen
