#!/usr/bin/env bash
# Demultiplexer and finder benchmarks on a release build.
#  - generates a 2 GiB BD stream in the temporary folder, then times `cat`, Morvex's
#    elementary-stream demux of PID 0x1100 and ffmpeg copying the same PID, side by
#    side, and reports peak memory (the stream is removed afterwards);
#  - times the clip cross-reference search over a generated disc of 2000 playlists
#    and 2000 clips.
#   scripts/bench_demux.sh [BYTES]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release -DMORVEX_BUILD_GUI=OFF > /dev/null
cmake --build build/release --target bench_demux bench_finder
MORVEX_BENCH_BYTES="${1:-2147483648}" build/release/bench/bench_demux
build/release/bench/bench_finder
