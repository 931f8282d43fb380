#!/usr/bin/env bash
# Sets up the machine, builds Morvex, generates the bundled demo disc and opens it:
# in the desktop application when a display is available, otherwise with morvex-cli.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release
cmake --build --preset release
demo="samples/demo/BDMV"
./build/release/samples/morvex-make-demo "$demo"

if [ -x build/release/src/app/morvex ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./build/release/src/app/morvex "$demo/index.bdmv"
fi
if [ -x build/release/src/app/morvex ] && [ -x scripts/screenshots.sh ]; then
  bash scripts/screenshots.sh "$demo"
fi
./build/release/src/cli/morvex-cli info "$demo"
