// kp-fontgen: renders the TFT and OLED bitmap fonts of the trip computer from
// a monospaced TrueType face and writes their C++ sources and preview sheets.
//
//   kp-fontgen --font-dir DIR --out-dir ROOT [--report]
//
// DIR holds the DejaVu Sans Mono files (Debian: fonts-dejavu-core, installed
// in /usr/share/fonts/truetype/dejavu).  ROOT is the repository root; the
// generator writes
//   firmware/Core/Inc/newlcd/fontsLCD.h and the six TFT font sources,
//   firmware/Core/Inc/fonts.h, firmware/Core/Lib/fonts.cpp,
//   docs/images/tft_font_*.png, docs/images/tft_fonts.png, docs/images/oled_fonts.png.
// --report prints the metrics used to choose each font's size and baseline.

#include "emit.h"
#include "font_set.h"
#include "preview.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace fontgen;

namespace {

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
    std::printf("wrote %s\n", path.string().c_str());
}

int usage() {
    std::fprintf(stderr, "usage: kp-fontgen --font-dir DIR --out-dir ROOT [--report]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string fontDir;
    std::string outDir;
    bool report = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--font-dir" && i + 1 < argc) {
            fontDir = argv[++i];
        } else if (a == "--out-dir" && i + 1 < argc) {
            outDir = argv[++i];
        } else if (a == "--report") {
            report = true;
        } else {
            return usage();
        }
    }
    if (fontDir.empty() || outDir.empty()) {
        return usage();
    }

    try {
        GeneratorInfo info;
        info.command = "kp-fontgen --font-dir " + fontDir + " --out-dir <repository root>";
        info.freetype = freetypeVersion();

        std::vector<BuiltFont> built;
        for (const FontPlan& plan : fontPlans()) {
            built.push_back(buildFont(plan, fontDir, report));
        }
        std::vector<const BuiltFont*> tft, oled;
        for (const BuiltFont& f : built) {
            (f.plan->target == Target::Tft ? tft : oled).push_back(&f);
        }

        const fs::path root(outDir);
        const fs::path lcd = root / "firmware/Core/Inc/newlcd";
        writeFile(lcd / "fontsLCD.h", tftHeader(tft, info));
        for (const BuiltFont* f : tft) {
            writeFile(lcd / (std::string(f->plan->file) + ".cpp"), tftSource(*f, info));
        }
        writeFile(root / "firmware/Core/Inc/fonts.h", oledHeader(oled, info));
        writeFile(root / "firmware/Core/Lib/fonts.cpp", oledSource(oled, info));

        const fs::path images = root / "docs/images";
        fs::create_directories(images);
        writeTftPreviews(tft, images.string());
        writeOledPreview(oled, images.string());
        std::printf("wrote previews to %s\n", images.string().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kp-fontgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
