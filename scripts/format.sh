#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Formats the C++ sources with the repository's .clang-format; `--check` changes nothing and fails
# on the first file clang-format would change (clang-format --dry-run -Werror), as CI does.
# Third-party code and test data are left as they are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h' ':!:third_party/**' ':!:**/third_party/**' ':!:tests/data/**')
if [ ${#files[@]} -eq 0 ]; then exit 0; fi
if [ "${1:-}" = --check ]; then
    clang-format --dry-run -Werror "${files[@]}"
    echo "format: ${#files[@]} files follow .clang-format"
else
    clang-format -i "${files[@]}"
fi
