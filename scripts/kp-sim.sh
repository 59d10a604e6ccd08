#!/usr/bin/env bash
# Builds the simulator (installing missing packages) and runs it. With no
# arguments it runs the built-in default drive into ./kp-out.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh"
"$here/scripts/build.sh" "$here/build"
if [ $# -eq 0 ]; then
  set -- run
fi
exec "$here/build/sim/kp-sim" "$@"
