#!/usr/bin/env bash
# Builds kp-sim as it was at an earlier commit, for kp-speed --before:
#   bench/build-before.sh REV DIR     then: build/bench/kp-speed --before DIR/build/sim/kp-sim
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: build-before.sh REV DIR" >&2
  exit 2
fi
rev="$1"
dir="$2"
here="$(cd "$(dirname "$0")/.." && pwd)"
if ! git -C "$here" rev-parse --verify --quiet "$rev^{commit}" >/dev/null; then
  echo "build-before.sh: no commit '$rev'" >&2
  exit 2
fi
mkdir -p "$dir"
git -C "$here" archive "$rev" | tar -x -C "$dir"
cmake -S "$dir" -B "$dir/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKP_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$dir/build" -j"$(nproc)" --target kp-sim
echo "$dir/build/sim/kp-sim"
