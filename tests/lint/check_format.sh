#!/usr/bin/env bash
# Fails when any of our C++ files is not laid out as .clang-format says.
set -euo pipefail
cd "$1"
files=$(git ls-files -- '*.cpp' '*.h' 2>/dev/null || find link panel app qt sim tests bench -name '*.cpp' -o -name '*.h')
# shellcheck disable=SC2086
clang-format --dry-run --Werror $files
echo "format: $(echo "$files" | wc -l) files checked"
