#!/usr/bin/env bash
# Checks that the C++ files (.cpp, .h) under the given folders are formatted as
# the root .clang-format says; prints each difference and exits 1 when any is
# found. Without arguments it checks the whole tree.
#
#   scripts/format-check.sh workbook tests/workbook tools
#
# To format a folder instead: git ls-files 'FOLDER/*.cpp' 'FOLDER/*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed (apt-get install clang-format)" >&2; exit 2; }
[ $# -gt 0 ] || set -- .
for dir in "$@"; do
  [ -e "$dir" ] || { echo "no such folder: $dir" >&2; exit 2; }
done
mapfile -t files < <(git ls-files -- "${@/%//*.cpp}" "${@/%//*.h}")
[ ${#files[@]} -gt 0 ] || { echo "no C++ files under: $*"; exit 0; }
clang-format --style=file --dry-run --Werror "${files[@]}"
echo "${#files[@]} files formatted as .clang-format says"
