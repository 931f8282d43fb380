#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while (slow; not in CI).
#   scripts/fuzz.sh [SECONDS-PER-TARGET]   default 60
set -euo pipefail
cd "$(dirname "$0")/.."
secs="${1:-60}"
bash scripts/setup.sh
# libFuzzer comes with clang and its runtime libraries, needed only here.
if ! command -v clang++ >/dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-dev 2>/dev/null | grep -q "install ok installed"; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends clang libclang-rt-dev
fi
cmake --preset fuzz
cmake --build --preset fuzz
mkdir -p build/fuzz/corpus
for f in build/fuzz/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  mkdir -p "build/fuzz/corpus/$name"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  echo "== $name (${secs}s)"
  "$f" -max_total_time="$secs" -rss_limit_mb=2048 "build/fuzz/corpus/$name" "${seeds[@]}"
done
