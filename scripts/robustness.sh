#!/usr/bin/env bash
# Robustness campaign: damaged fixture files and a damaged demo disc through every
# morvex-cli subcommand on the sanitizer build (slow; not in CI).
#   scripts/robustness.sh [MINUTES]   default 30
# Reports crashes, hangs, false successes and runs over 500 MB; findings and a
# summary go to build/robustness/. Exits 1 when a run crashed or hung.
# Environment: ROBUSTNESS_SEED (repeat a campaign), ROBUSTNESS_TIMEOUT (seconds per
# run, default 20), ROBUSTNESS_MEMORY_MB (per-run limit, default 2048), ROBUSTNESS_PRESET
# (the build to run: asan by default; debug or release run faster but see no sanitizer
# report).
set -euo pipefail
cd "$(dirname "$0")/.."
minutes="${1:-30}"
bash scripts/setup.sh
preset="${ROBUSTNESS_PRESET:-asan}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target morvex-cli morvex-make-demo
work=build/robustness
rm -rf "$work/demo"
mkdir -p "$work/demo/BDMV"
./build/$preset/samples/morvex-make-demo "$work/demo/BDMV" >/dev/null
# The campaign runs a copy, so a rebuild meanwhile cannot swap the program under it.
cp build/$preset/src/cli/morvex-cli "$work/morvex-cli"
fixtures=$(sed -n 's/^MORVEX_FIXTURES_DIR:PATH=//p' build/$preset/CMakeCache.txt)
seed_opt=()
[ -n "${ROBUSTNESS_SEED:-}" ] && seed_opt=(--seed "$ROBUSTNESS_SEED")
# An Ultra HD disc from the version 0300 fuzz seeds, so 0300 files are damaged too.
rm -rf "$work/uhd"
mkdir -p "$work/uhd/BDMV/PLAYLIST" "$work/uhd/BDMV/CLIPINF" "$work/uhd/BDMV/STREAM" "$work/uhd/BDMV/BACKUP"
cp fuzz/seeds/fuzz_index/uhd_index.bdmv "$work/uhd/BDMV/index.bdmv"
cp fuzz/seeds/fuzz_mobj/uhd_MovieObject.bdmv "$work/uhd/BDMV/MovieObject.bdmv"
cp fuzz/seeds/fuzz_mpls/uhd_00000.mpls "$work/uhd/BDMV/PLAYLIST/00000.mpls"
cp fuzz/seeds/fuzz_clpi/uhd_00000.clpi "$work/uhd/BDMV/CLIPINF/00000.clpi"
# A menu file beside the stream, so menu-file commands get seeds of their own.
./build/$preset/src/cli/morvex-cli menu extract "$work/demo/BDMV/STREAM/00010.m2ts" -o "$work/demo/demo.mnu" >/dev/null
exec python3 scripts/robustness.py "$minutes" --cli "$work/morvex-cli" --demo "$work/demo" \
  --fixtures "$fixtures" --uhd "$work/uhd" --work "$work/run" --timeout "${ROBUSTNESS_TIMEOUT:-20}" \
  --memory-mb "${ROBUSTNESS_MEMORY_MB:-2048}" "${seed_opt[@]}"
