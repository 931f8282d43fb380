#!/usr/bin/env bash
# Sets up the machine, builds Morvex with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs the whole test suite (engine, command line and desktop tests) under ctest.
#   scripts/test.sh            the full suite (what CI runs)
#   scripts/test.sh release    the same suite on an optimised build without sanitizers
#   CI=true scripts/test.sh    tests that lack a fixture disc or a program fail, not skip
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-asan}"

bash scripts/setup.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
export QT_QPA_PLATFORM=offscreen
ctest --preset "$preset" --timeout 600 -j 2
