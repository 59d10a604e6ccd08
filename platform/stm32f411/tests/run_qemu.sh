#!/usr/bin/env bash
# Runs a check image on QEMU's netduinoplus2 (STM32F4, Cortex-M4F) with
# semihosting, in instruction-counted virtual time, and fails unless the
# image ends with a pass. With EXPECTED, its output must equal that file.
#   run_qemu.sh IMAGE [OUTPUT [EXPECTED]]     (exit 77: skipped, no QEMU)
set -uo pipefail
image="$1"
output="${2:-}"
expected="${3:-}"
qemu="${KP_QEMU:-$(command -v qemu-system-arm || true)}"
if [ -z "$qemu" ]; then
  echo "qemu-system-arm is not installed: the check in QEMU is skipped (apt-get install qemu-system-arm)"
  exit 77
fi
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
timeout 300 "$qemu" -M netduinoplus2 -display none -monitor none -serial null \
  -semihosting-config enable=on,target=native -icount shift=3,align=off,sleep=off \
  -kernel "$image" >"$out" 2>&1
rc=$?
cat "$out"
[ -n "$output" ] && cp "$out" "$output"
if [ "$rc" -ne 0 ]; then
  echo "run_qemu.sh: $image ended with exit $rc" >&2
  exit 1
fi
if [ -n "$expected" ] && ! cmp -s "$out" "$expected"; then
  diff "$expected" "$out" | head -20 >&2
  echo "run_qemu.sh: the output of $image differs from $expected" >&2
  exit 1
fi
exit 0
