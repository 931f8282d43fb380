#!/usr/bin/env bash
# Saves a PNG of the Morvex window for every tab, without a desktop: morvex runs under
# a virtual X display (Xvfb), opens a disc folder and grabs each tab.
#
#   bash scripts/screenshots.sh [BDMV-FOLDER] [OUT-DIR]
#
# BDMV-FOLDER defaults to the demo disc (samples/demo/BDMV, written by
# morvex-make-demo); OUT-DIR defaults to screenshots/. The first build found among
# build/release and build/debug is used. Without Xvfb the offscreen platform is used.
set -euo pipefail
cd "$(dirname "$0")/.."

disc="${1:-samples/demo/BDMV}"
out="${2:-screenshots}"

app=""
for preset in release debug; do
  if [ -x "build/$preset/src/app/morvex" ]; then app="build/$preset/src/app/morvex"; break; fi
done
if [ -z "$app" ]; then
  echo "screenshots: no morvex build found; run: cmake --preset release && cmake --build --preset release" >&2
  exit 1
fi
if [ "$disc" = "samples/demo/BDMV" ] && [ ! -f "$disc/index.bdmv" ]; then
  for preset in release debug; do
    gen="build/$preset/samples/morvex-make-demo"
    if [ -x "$gen" ]; then "$gen" "$disc" >/dev/null; break; fi
  done
fi

mkdir -p "$out"
# The program's argument is a file of the disc folder (its folder is loaded).
arg="$disc/index.bdmv"
[ -f "$arg" ] || arg="$disc"

if command -v xvfb-run >/dev/null 2>&1; then
  xvfb-run -a -s "-screen 0 1280x800x24" "$app" --screenshots "$out" "$arg"
else
  QT_QPA_PLATFORM=offscreen "$app" --screenshots "$out" "$arg"
fi
echo "Screenshots of every tab in $out/:"
ls -1 "$out"/*.png
