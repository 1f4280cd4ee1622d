#!/usr/bin/env bash
# Fails when any of our C++ files is not laid out as .clang-format says. Layout differs a little
# between clang-format versions, so the check holds only for the version the layout was made with
# (Debian 12's); with another it skips (exit 77) and says so.
set -euo pipefail
expected=14
cd "$1"
version=$(clang-format --version | sed -n 's/.*clang-format version \([0-9]*\).*/\1/p')
if [ "$version" != "$expected" ]; then
    echo "format: skipped: the layout is checked with clang-format $expected (Debian 12), this is ${version:-an unknown version}"
    exit 77
fi
files=$(git ls-files -- '*.cpp' '*.h' 2>/dev/null || find link panel app share qt sim tests bench -name '*.cpp' -o -name '*.h')
# shellcheck disable=SC2086
clang-format --dry-run --Werror $files
echo "format: $(echo "$files" | wc -l) files checked"
