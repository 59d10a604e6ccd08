#!/usr/bin/env bash
# Builds the firmware image for the STM32F411 board (build-stm32/: ELF, HEX
# and BIN in platform/stm32f411/image), prints its size against the chip and
# runs the target build's tests: the image fits, and the kernel check and
# the firmware's figures in QEMU (skipped when qemu-system-arm is missing).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build-stm32"
"$here/scripts/build.sh" "$build" -DKP_PLATFORM=stm32f411
cmake --build "$build" --target size-report
(cd "$build" && ctest --output-on-failure -j"$(nproc)")
