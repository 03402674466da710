#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Refreshes the English translation sources (translations/<part>_en.ts) from the texts in the code:
# new texts are added unfinished, texts gone from the code are dropped. Translate the new entries
# in Qt Linguist (or by hand), then build: lrelease compiles them into the program.
#   bash scripts/translations.sh            all parts
#   bash scripts/translations.sh analysis   one part
set -euo pipefail
cd "$(dirname "$0")/.."
LUPDATE=/usr/lib/qt6/bin/lupdate
[[ -x $LUPDATE ]] || LUPDATE=$(command -v lupdate-qt6 || command -v lupdate)

# Each part's folders; a part is one .ts file, so people can translate parts side by side.
declare -A PARTS=(
    [window]="app components"
    [core]="foundation resources platform devices measurement session experiments"
    [analysis]="analysis lesson"
)
for part in "${!PARTS[@]}"; do
    [[ $# -gt 0 && " $* " != *" $part "* ]] && continue
    # shellcheck disable=SC2086
    "$LUPDATE" -silent -no-obsolete -locations none -source-language ru_RU -target-language en_GB \
        -extensions cpp,h ${PARTS[$part]} -ts "translations/${part}_en.ts"
done
