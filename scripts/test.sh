#!/usr/bin/env bash
# Builds and runs the whole test suite: once as built for use, once under
# AddressSanitizer and UndefinedBehaviorSanitizer; the firmware image for the
# board with its checks in QEMU; then each fuzz target for about a minute.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh"
"$here/scripts/build.sh" "$here/build"
(cd "$here/build" && ctest --output-on-failure -j"$(nproc)")
"$here/scripts/build-stm32.sh"
"$here/scripts/build.sh" "$here/build-sanitize" -DKP_SANITIZE=ON -DKP_BUILD_BENCHMARKS=OFF
(cd "$here/build-sanitize" && ctest --output-on-failure -j"$(nproc)")
"$here/scripts/fuzz.sh" 60
