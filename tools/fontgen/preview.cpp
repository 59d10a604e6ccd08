#include "preview.h"

#include "canvas.h"

#include <algorithm>
#include <stdexcept>

namespace fontgen {

namespace {

const Rgb kBlack{0, 0, 0};
const Rgb kWhite{255, 255, 255};
const Rgb kLabel{150, 160, 170};
const Rgb kCellA{28, 36, 48};
const Rgb kCellB{44, 54, 70};
const Rgb kOrange{255, 101, 0};  // trip-summary label colour 0xFB20
const Rgb kGreen{0, 255, 0};

const std::vector<std::string> kTftSamples = {
    "Predkosc:", "123km/h", "12.34", "L/100km", "Temp zewn:  21.5*C", "znaleziono 24 blad w pamieci",
    "^v %-/.:* gjpqy |(){}[]", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz 0123456789",
};

const std::vector<std::string> kOledSamples = {"88km/h", "7.4L/100km", "12.45V", "0.85L/h", "21.5*C"};

// A font as the display driver sees it: only the emitted table and the cell.
struct TftView {
    std::vector<uint8_t> table;
    int w, h, bytes;

    bool lit(int code, int col, int row) const {
        if (code < kFirstCode || code > kLastCode) {
            code = ' ';
        }
        const size_t base = static_cast<size_t>((code - kFirstCode) * h * bytes + row * bytes);
        uint32_t v = 0;
        for (int b = 0; b < bytes; ++b) {
            v = (v << 8) | table[base + static_cast<size_t>(b)];
        }
        return ((v >> (8 * bytes - 1 - col)) & 1u) != 0;
    }
};

TftView tftView(const BuiltFont& f) {
    return TftView{tftTable(f), f.plan->width, f.plan->height, tftRowBytes(f.plan->width)};
}

struct OledView {
    std::vector<uint16_t> table;
    int w, h;

    bool lit(int code, int col, int row) const {
        if (code < kFirstCode || code > kLastCode) {
            code = ' ';
        }
        const uint16_t v = table[static_cast<size_t>((code - kFirstCode) * h + row)];
        return ((v << col) & 0x8000) != 0;
    }
};

template <typename View>
void drawText(Canvas& c, const View& font, int x, int y, const std::string& text, int scale, Rgb fg,
              const Rgb* bg) {
    for (const char ch : text) {
        c.blit(x, y, font.w, font.h, scale,
               [&](int col, int row) { return font.lit(static_cast<unsigned char>(ch), col, row); }, fg, bg);
        x += font.w * scale;
    }
}

template <typename View>
int textWidth(const View& font, const std::string& text, int scale) {
    return static_cast<int>(text.size()) * font.w * scale;
}

// All 95 glyphs in a 16-column grid on alternating cell backgrounds, so the
// cell edges and the blank column between glyphs are visible.
template <typename View>
int drawGrid(Canvas* c, const View& font, int x, int y, int scale) {
    constexpr int kCols = 16;
    const int gap = 2;
    const int rows = (kGlyphCount + kCols - 1) / kCols;
    for (int i = 0; c != nullptr && i < kGlyphCount; ++i) {
        const int gx = x + (i % kCols) * (font.w * scale + gap);
        const int gy = y + (i / kCols) * (font.h * scale + gap);
        const Rgb bg = ((i / kCols + i % kCols) % 2 == 0) ? kCellA : kCellB;
        c->blit(gx, gy, font.w, font.h, scale,
                [&](int col, int row) { return font.lit(kFirstCode + i, col, row); }, kWhite, &bg);
    }
    return rows * (font.h * scale + gap);
}

template <typename View>
int gridWidth(const View& font, int scale) {
    return 16 * (font.w * scale + 2);
}

int tftScale(int height) {
    if (height <= 12) return 4;
    if (height <= 20) return 3;
    return 2;
}

}  // namespace

void writeTftPreviews(const std::vector<const BuiltFont*>& fonts, const std::string& dir) {
    const BuiltFont* labelFont = nullptr;
    for (const BuiltFont* f : fonts) {
        if (std::string(f->plan->record) == "Font16") {
            labelFont = f;
        }
    }
    if (labelFont == nullptr) {
        throw std::runtime_error("Font16 is needed for the preview labels");
    }
    const TftView label = tftView(*labelFont);

    // One enlarged sheet per font.
    for (const BuiltFont* f : fonts) {
        const TftView view = tftView(*f);
        const int scale = tftScale(view.h);
        const int margin = 16;
        const std::string title = std::string(f->plan->record) + "  " + std::to_string(view.w) + "x" +
                                  std::to_string(view.h) + "  " + f->faceDescription.substr(
                                      0, f->faceDescription.find(',')) + "  " + std::to_string(f->plan->pixelSize) +
                                  " px  (" + std::to_string(scale) + ":1)";
        int width = std::max(gridWidth(view, scale), textWidth(label, title, 1));
        int height = label.h + 8 + drawGrid<TftView>(nullptr, view, 0, 0, scale) + 12;
        for (const std::string& s : kTftSamples) {
            width = std::max(width, textWidth(view, s, scale));
            height += view.h * scale + 4;
        }
        Canvas c(width + 2 * margin, height + 2 * margin, kBlack);
        int y = margin;
        drawText(c, label, margin, y, title, 1, kLabel, nullptr);
        y += label.h + 8;
        y += drawGrid(&c, view, margin, y, scale) + 12;
        for (const std::string& s : kTftSamples) {
            drawText(c, view, margin, y, s, scale, kWhite, &kBlack);
            y += view.h * scale + 4;
        }
        c.savePng(dir + "/tft_font_" + f->plan->record + ".png");
    }

    // All fonts at their real size, the way the screens use them.
    const int margin = 10;
    int width = 0, height = 0;
    for (const BuiltFont* f : fonts) {
        const TftView view = tftView(*f);
        height += label.h + 4 + 3 * (view.h + 2) + 10;
        width = std::max(width, textWidth(view, kTftSamples[5], 1));
        width = std::max(width, textWidth(view, kTftSamples[0] + " " + kTftSamples[1] + " " + kTftSamples[2], 1));
    }
    Canvas c(width + 2 * margin, height + 2 * margin, kBlack);
    int y = margin;
    for (const BuiltFont* f : fonts) {
        const TftView view = tftView(*f);
        drawText(c, label, margin, y, std::string(f->plan->record) + " (1:1)", 1, kLabel, nullptr);
        y += label.h + 4;
        drawText(c, view, margin, y, kTftSamples[0] + " " + kTftSamples[1] + " " + kTftSamples[2], 1, kWhite,
                 &kBlack);
        y += view.h + 2;
        drawText(c, view, margin, y, kTftSamples[3] + " " + kTftSamples[4], 1, kOrange, &kBlack);
        y += view.h + 2;
        drawText(c, view, margin, y, kTftSamples[5], 1, kGreen, &kBlack);
        y += view.h + 2 + 10;
    }
    c.savePng(dir + "/tft_fonts.png");
}

void writeOledPreview(const std::vector<const BuiltFont*>& fonts, const std::string& dir) {
    const BuiltFont* small = nullptr;
    const BuiltFont* big = nullptr;
    for (const BuiltFont* f : fonts) {
        if (f->plan->height == 18) small = f;
        if (f->plan->height == 26) big = f;
    }
    if (small == nullptr || big == nullptr) {
        throw std::runtime_error("both OLED fonts are needed for the preview");
    }
    const OledView s{oledTable(*small), small->plan->width, small->plan->height};
    const OledView b{oledTable(*big), big->plan->width, big->plan->height};

    // The gauge screen: 128 x 64 with the three lines where the gauge puts them.
    const Rgb lit{190, 225, 255};
    const Rgb dark{12, 16, 24};
    const Rgb frame{4, 6, 10};
    std::vector<uint8_t> screen(128 * 64, 0);
    auto put = [&](const OledView& font, int x, int y, const std::string& text) {
        for (const char ch : text) {
            if (x + font.w > 128) {
                break;  // the OLED cuts text at the first character that would not fit
            }
            for (int row = 0; row < font.h; ++row) {
                for (int col = 0; col < font.w; ++col) {
                    if (y + row < 64 && font.lit(static_cast<unsigned char>(ch), col, row)) {
                        screen[static_cast<size_t>((y + row) * 128 + x + col)] = 1;
                    }
                }
            }
            x += font.w;
        }
    };
    put(b, 0, 0, "88km/h ");
    put(s, 0, 26, "7.4L/100km ");
    put(s, 0, 45, "12.45V");

    const int margin = 16;
    const int scale = 4;
    const int gridScale = 3;
    int width = std::max({128 * scale + 8, gridWidth(b, gridScale), gridWidth(s, gridScale)});
    int height = 64 * scale + 8 + 20 + drawGrid<OledView>(nullptr, b, 0, 0, gridScale) + 12 +
                 drawGrid<OledView>(nullptr, s, 0, 0, gridScale) + 12;
    for (size_t i = 0; i < kOledSamples.size(); ++i) {
        const OledView& font = (i == 0) ? b : s;
        width = std::max(width, textWidth(font, kOledSamples[i], gridScale));
        height += font.h * gridScale + 4;
    }
    Canvas c(width + 2 * margin, height + 2 * margin, kBlack);
    c.fillRect(margin, margin, 128 * scale + 8, 64 * scale + 8, frame);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 128; ++x) {
            const Rgb col = screen[static_cast<size_t>(y * 128 + x)] ? lit : dark;
            c.fillRect(margin + 4 + x * scale, margin + 4 + y * scale, scale - 1, scale - 1, col);
        }
    }
    int y = margin + 64 * scale + 8 + 20;
    y += drawGrid(&c, b, margin, y, gridScale) + 12;
    y += drawGrid(&c, s, margin, y, gridScale) + 12;
    for (size_t i = 0; i < kOledSamples.size(); ++i) {
        const OledView& font = (i == 0) ? b : s;
        drawText(c, font, margin, y, kOledSamples[i], gridScale, lit, &kBlack);
        y += font.h * gridScale + 4;
    }
    c.savePng(dir + "/oled_fonts.png");
}

}  // namespace fontgen
