// Drawing helpers for kp-imagegen: colours, shape tests in continuous
// coordinates, text masks from FreeType and supersampled rendering.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace imagegen {

struct Color {
    double r = 0, g = 0, b = 0;  // 0..1
};

Color rgb(int r, int g, int b);
Color mix(Color a, Color b, double t);  // t = 0 gives a, 1 gives b
Color add(Color a, Color b, double k);  // a + k * b, clamped

struct Vec {
    double x = 0, y = 0;
};

// Signed distances (negative inside) and plain inside tests.
double circleDist(Vec p, Vec centre, double radius);
double roundedBoxDist(Vec p, Vec centre, Vec halfSize, double cornerRadius);
double segmentDist(Vec p, Vec a, Vec b);  // unsigned distance to a segment
bool insidePolygon(Vec p, const std::vector<Vec>& poly);

// A string rendered by FreeType, usable as a shape: inside() is true where
// the glyph coverage is at least one half.
class TextMask {
public:
    // `pixelHeight` is the em size in picture pixels, `oversample` the
    // number of mask pixels per picture pixel.  The text is centred on
    // `centreX`, with its baseline at `baselineY`.
    TextMask(const std::string& fontPath, const std::string& text, double pixelHeight, int oversample,
             double centreX, double baselineY, bool monochrome = false);
    bool inside(Vec p) const;
    // Bounding box of the ink in picture pixels.
    double left() const { return originX_ / over_; }
    double top() const { return originY_ / over_; }
    double right() const { return (originX_ + w_) / over_; }
    double bottom() const { return (originY_ + h_) / over_; }

private:
    int w_ = 0, h_ = 0, over_ = 1;
    double originX_ = 0, originY_ = 0;  // mask pixel (0,0) in oversampled picture coordinates
    std::vector<uint8_t> cov_;
};

// Renders width x height pixels, each the mean of n x n samples of `shade`
// taken at sub-pixel centres.
std::vector<Color> renderSupersampled(int width, int height, int n, const std::function<Color(Vec)>& shade);

// Version of the FreeType library in use, e.g. "2.12.1".
std::string freetypeVersion();

// Writes 8-bit RGB data as a PNG; throws on failure.
void writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace imagegen
