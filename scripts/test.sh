#!/usr/bin/env bash
# Builds Quorvel and runs every test: core, Qt, end-to-end (under Xvfb against the transceiver
# simulator), format and lint checks; then the core and Qt tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer. Warnings are errors here.
#
# Local runs keep build/test and build/sanitize and rebuild only what changed; with CI=true (as CI
# sets it) both are built from scratch. The run fails if it leaves the work tree changed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --deps-only

jobs=$(nproc)
if [ "${CI:-}" = true ]; then
    rm -rf build/test build/sanitize
fi
tree_state() { git status --porcelain --untracked-files=all 2>/dev/null || true; }
tree_before=$(tree_state)

echo "== Build (Release)"
# Optimised as users get it, without debug information: the tests do not need it and it is a good
# share of the compile and link time.
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_WERROR=ON -DQUORVEL_BENCHMARKS=OFF
cmake --build build/test -j "$jobs"

# The sanitizer build runs at the lowest priority beside the release tests, which mostly wait on
# the radio's and the window's clocks; its output follows theirs.
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_WERROR=ON \
    -DQUORVEL_BENCHMARKS=OFF
# In a process group of its own, so that a failed test run can stop the whole build. (Not a
# session of its own: the scheduler would then share the cores between the sessions, priority
# or not.)
set -m
nice -n 19 cmake --build build/sanitize -j "$jobs" >build/sanitize-build.log 2>&1 &
sanitize_build=$!
set +m
trap 'kill -- "-$sanitize_build" 2>/dev/null || true' EXIT

echo "== Test (Release)"
# Twice as many tests as cores, for the same reason.
ctest --test-dir build/test --output-on-failure -j "$((jobs * 2))"

echo "== Build under AddressSanitizer and UndefinedBehaviorSanitizer"
built=0
wait "$sanitize_build" || built=$?
trap - EXIT
cat build/sanitize-build.log
[ "$built" -eq 0 ] || exit "$built"

echo "== Test under AddressSanitizer and UndefinedBehaviorSanitizer"
# Leak checking stays on for our code; tests/lsan.supp names the Qt, font and system functions
# that keep caches for the life of the process, which LeakSanitizer would otherwise report.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The end-to-end, lint and package tests check the programs and files as shipped, not the code.
ctest --test-dir build/sanitize --output-on-failure -j "$jobs" -LE 'e2e|lint|package'

tree_after=$(tree_state)
if [ "$tree_before" != "$tree_after" ]; then
    echo "The tests changed the work tree (git status before and after):" >&2
    diff <(echo "$tree_before") <(echo "$tree_after") >&2 || true
    exit 1
fi
echo "== All tests passed"
