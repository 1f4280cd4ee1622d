#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over the program's own sources, one file per core, using
# the build's compile_commands.json. Test sources are left to the compiler's warnings. A file that
# fails shows clang-tidy's whole answer, its error output included.
set -euo pipefail
source_dir=$1
build_dir=$2
cd "$source_dir"
files=$(git ls-files -- 'link/*.cpp' 'panel/*.cpp' 'app/*.cpp' 'qt/*.cpp' 'sim/*.cpp' 2>/dev/null ||
    find link panel app qt sim -name '*.cpp')
selected=()
for f in $files; do
    # Only what this build compiles: a build without Qt has no compile command for qt/.
    grep -q "\"file\": \"$source_dir/$f\"" "$build_dir/compile_commands.json" && selected+=("$f")
done
if [ ${#selected[@]} -eq 0 ]; then
    echo "clang-tidy: none of our sources is in $build_dir/compile_commands.json" >&2
    exit 1
fi

reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
# Each file's answer goes to its own report, so that answers running side by side do not mix.
printf '%s\0' "${selected[@]}" | xargs -0 -n 1 -P "$(nproc)" sh -c '
    report=$(mktemp "$2/report.XXXXXX")
    echo "== clang-tidy $3" >"$report"
    clang-tidy --quiet --extra-arg=-Wno-unknown-warning-option -p "$1" "$3" >>"$report" 2>&1 || {
        mv "$report" "$report.failed"
        exit 1
    }' sh "$build_dir" "$reports" && status=0 || status=$?

failed=$(find "$reports" -name '*.failed')
if [ "$status" -ne 0 ] || [ -n "$failed" ]; then
    for report in $failed; do
        cat "$report"
    done
    echo "clang-tidy: $(echo "$failed" | grep -c .) of ${#selected[@]} files failed" >&2
    exit 1
fi
echo "clang-tidy: ${#selected[@]} files clean"
