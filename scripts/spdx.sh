#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence line on top of every source, build and script file of the repository that lacks
# it (below a #! line); running it again changes nothing. `--check` only lists the files without
# it and fails when there are any. Test data, the sample catalogue and third-party code are left
# alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
check=0
[ "${1:-}" = --check ] && check=1
tag="SPDX-License-Identifier: GPL-3.0-or-later"

comment_for() {
    case "$1" in
        *.cpp | *.h | *.hpp | *.cc) echo "//" ;;
        CMakeLists.txt | */CMakeLists.txt | *.cmake | *.sh | *.rules | *.conf | .ci/run | packaging/postinst | packaging/postrm | packaging/rpm-post | packaging/rpm-postun) echo "#" ;;
        *) ;;
    esac
}

missing=0
while IFS= read -r -d '' file; do
    case "$file" in data/* | tests/data/* | third_party/* | */third_party/*) continue ;; esac
    marker=$(comment_for "$file")
    [ -n "$marker" ] || continue
    [ -f "$file" ] || continue
    head -n 5 "$file" | grep -q "SPDX-License-Identifier:" && continue
    missing=$((missing + 1))
    if [ $check -eq 1 ]; then
        echo "no licence line: $file"
        continue
    fi
    if head -n 1 "$file" | grep -q '^#!'; then
        sed -i "1a $marker $tag" "$file"
    else
        sed -i "1i $marker $tag" "$file"
    fi
done < <(git ls-files -z)
if [ $check -eq 1 ] && [ $missing -gt 0 ]; then exit 1; fi
[ $check -eq 1 ] || echo "spdx: licence line added to $missing files"
