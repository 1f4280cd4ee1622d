#!/usr/bin/env bash
# Builds Quorvel from scratch and runs every test: core, Qt, end-to-end (under Xvfb against the
# transceiver simulator), format and lint checks; then the core and Qt tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --deps-only

jobs=$(nproc)
rm -rf build/test build/sanitize

echo "== Build and test (RelWithDebInfo)"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_BENCHMARKS=ON
cmake --build build/test -j "$jobs"
ctest --test-dir build/test --output-on-failure -j "$jobs"

echo "== Build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON
cmake --build build/sanitize -j "$jobs"
# Leak checking stays on for our code; Qt's font and platform libraries keep some caches for the
# life of the process, which LeakSanitizer would otherwise report.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build/sanitize --output-on-failure -j "$jobs" -LE 'e2e|lint'
