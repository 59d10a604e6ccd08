#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan) into
# build-fuzz and runs each for a bounded time, from the seed corpus in fuzz/.
# Fails on a crash, a sanitizer report, a hang, a refusal that is not one
# short line, or an exit of `kp-sim eeprom show` other than 0 or 2 on what
# the fuzzer found.   fuzz.sh [SECONDS_PER_TARGET] (default 60)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="$here/build-fuzz"
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKP_FUZZ=ON \
  -DKP_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target kp-fuzz-scenario kp-fuzz-eeprom-image kp-sim
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fuzz() {  # target corpus-name dictionary max-len
  local target="$1" corpus="$2" dict="$3" max_len="$4"
  mkdir -p "$work/$corpus"
  echo "fuzzing $target for ${seconds} s"
  # -timeout: one input taking longer is a hang; the outer timeout catches a
  # fuzzer that stops answering altogether.
  if ! timeout $((seconds + 120)) "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len="$max_len" -dict="$here/fuzz/$dict" -print_final_stats=1 \
      -artifact_prefix="$work/" "$work/$corpus" "$here/fuzz/corpus/$corpus" >"$work/$target.log" 2>&1; then
    tail -n 60 "$work/$target.log" >&2
    echo "fuzz.sh: $target failed (its input is in $work, kept)" >&2
    trap - EXIT
    exit 1
  fi
  grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb)|cov: " "$work/$target.log" | tail -n 3
}

fuzz kp-fuzz-scenario scenario scenario.dict 4096
fuzz kp-fuzz-eeprom-image eeprom_image eeprom_image.dict 1100

# The program on what the fuzzer found: an answer or a one-line refusal.
checked=0
for f in "$work"/eeprom_image/* "$here"/fuzz/corpus/eeprom_image/*; do
  [ -f "$f" ] || continue
  [ "$checked" -lt 300 ] || break
  rc=0
  timeout 20 "$build/sim/kp-sim" eeprom show "$f" >/dev/null 2>"$work/err" || rc=$?
  if [ "$rc" -ne 0 ] && { [ "$rc" -ne 2 ] || [ "$(wc -l <"$work/err")" -ne 1 ]; }; then
    echo "fuzz.sh: kp-sim eeprom show $f: exit $rc: $(head -c 300 "$work/err")" >&2
    exit 1
  fi
  checked=$((checked + 1))
done
echo "kp-sim eeprom show: $checked images, each shown or refused in one line"
