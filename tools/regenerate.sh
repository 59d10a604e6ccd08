#!/usr/bin/env bash
# Rebuilds the font and picture generators in a scratch directory and
# regenerates every generated source and preview of the repository:
#   firmware/Core/Inc/newlcd/fontsLCD.h, font12.cpp ... FontMenlo40.cpp
#   firmware/Core/Inc/fonts.h, firmware/Core/Lib/fonts.cpp
#   firmware/Core/Inc/test_img.h, firmware/Core/Src/test_img.cpp
#   firmware/Core/Inc/LUMO.h
#   docs/images/*.png
#
# Needs cmake, a C++20 compiler, libfreetype-dev, libpng-dev and the DejaVu
# fonts (Debian: fonts-dejavu-core).  Set FONT_DIR to use another copy of them.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
font_dir="${FONT_DIR:-/usr/share/fonts/truetype/dejavu}"
build="$(mktemp -d "${TMPDIR:-/tmp}/kp-tools.XXXXXX")"
trap 'rm -rf "$build"' EXIT

cmake -S "$root/tools" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --parallel >/dev/null

cd "$root"
"$build/kp-fontgen" --font-dir "$font_dir" --out-dir "$root"
"$build/kp-imagegen" --font-dir "$font_dir" --out-dir "$root"
