#!/usr/bin/env bash
# Builds the simulator (installing missing packages) and runs it. With no
# arguments it runs the built-in default drive into ./kp-out. It builds only
# kp-sim, and what setup and the build say goes to stderr: stdout is the
# program's own.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build"
"$here/scripts/setup.sh" >&2
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build "$build" -j"$(nproc)" --target kp-sim >&2
if [ $# -eq 0 ]; then
  set -- run
fi
exec "$build/sim/kp-sim" "$@"
