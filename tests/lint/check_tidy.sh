#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over the program's own sources, one compiled unit per
# core, using the build's compile_commands.json. A unity build compiles a target's sources in
# batches, and clang-tidy checks each batch as the compiler sees it: every source is checked, and
# Qt's headers are gone through once a batch rather than once a file. Test sources are left to the
# compiler's warnings. A unit that fails shows clang-tidy's whole answer, its error output included.
set -euo pipefail
source_dir=$1
build_dir=$2
cd "$source_dir"
folders=(link panel app share qt sim)
sources=$(git ls-files -- "${folders[@]/%//*.cpp}" 2>/dev/null || find "${folders[@]}" -name '*.cpp')

# Our sources compiled on their own, and the batches that gather the others.
ours=$(
    IFS='|'
    echo "${folders[*]}"
)
units=$(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$build_dir/compile_commands.json" | sort -u |
    grep -E "^$source_dir/($ours)(/[^/]+)?/[^/]+\.cpp$|^$build_dir/($ours)(/[^/]+)?/CMakeFiles/[^/]+/Unity/unity_[0-9]+_cxx\.cxx$" ||
    true)
if [ -z "$units" ]; then
    echo "clang-tidy: none of our sources is in $build_dir/compile_commands.json" >&2
    exit 1
fi

# Every one of our sources the build compiles, on its own or in any batch, must be in a unit
# checked here. (A build without Qt compiles no qt/ source, and that is no fault.)
batch_member="s|^#include \"$source_dir/\(.*\)\"$|\1|p"
checked=$(for unit in $units; do
    case $unit in
    *.cxx) sed -n "$batch_member" "$unit" ;;
    *) echo "${unit#"$source_dir"/}" ;;
    esac
done | sort -u)
compiled=$({
    sed -n "s|^ *\"file\": \"$source_dir/\(.*\)\",\{0,1\}$|\1|p" "$build_dir/compile_commands.json"
    find "$build_dir" -path '*/Unity/unity_*_cxx.cxx' -exec sed -n "$batch_member" {} +
} | sort -u)
unchecked=$(comm -12 <(echo "$sources" | sort -u) <(echo "$compiled") | comm -23 - <(echo "$checked"))
if [ -n "$unchecked" ]; then
    echo "clang-tidy: built but in no unit checked here:" $unchecked >&2
    exit 1
fi

# A batch includes its sources by design, which bugprone-suspicious-include would report; our own
# files must not, which this looks after instead.
if grep -rnE '^#include ["<][^">]*\.(c|cc|cpp|cxx)[">]' --include='*.cpp' --include='*.h' "${folders[@]}"; then
    echo "clang-tidy: a source includes another source file" >&2
    exit 1
fi

reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
# Each unit's answer goes to its own report, so that answers running side by side do not mix.
printf '%s\0' $units | xargs -0 -n 1 -P "$(nproc)" sh -c '
    report=$(mktemp "$2/report.XXXXXX")
    echo "== clang-tidy $4" >"$report"
    clang-tidy --quiet --config-file="$3/.clang-tidy" --checks=-bugprone-suspicious-include \
        --extra-arg=-Wno-unknown-warning-option -p "$1" "$4" >>"$report" 2>&1 || {
        mv "$report" "$report.failed"
        exit 1
    }' sh "$build_dir" "$reports" "$source_dir" && status=0 || status=$?

failed=$(find "$reports" -name '*.failed')
if [ "$status" -ne 0 ] || [ -n "$failed" ]; then
    for report in $failed; do
        cat "$report"
    done
    echo "clang-tidy: $(echo "$failed" | grep -c .) of $(echo "$units" | grep -c .) units failed" >&2
    exit 1
fi
echo "clang-tidy: $(echo "$checked" | grep -c .) sources clean in $(echo "$units" | grep -c .) units"
