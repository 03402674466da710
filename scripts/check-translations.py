#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that the English interface is whole.

1. Every Cyrillic string literal in the program's folders is a translation source: inside tr(),
   QCoreApplication::translate(), QT_TR_NOOP() or QT_TRANSLATE_NOOP(), or marked on its line or the
   line above with `// untranslated: <why>` (a text parsed back, stored data, a log-only line).
2. Every translation source has a finished English translation: lupdate is run over the code into
   copies of translations/*_en.ts, and no entry may be left unfinished.

Usage: check-translations.py [repository]   (exit 1 with the findings listed)
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

# The parts of scripts/translations.sh: one .ts file each.
PARTS = {
    "window": ["app", "components"],
    "core": ["foundation", "resources", "platform", "devices", "measurement", "session", "experiments"],
    "analysis": ["analysis", "lesson"],
}
CYRILLIC = re.compile("[\u0400-\u04ff]")
# What may stand right before a translated literal (after comments and spaces are dropped).
OPENERS = re.compile(r"(\btr|\btranslate\s*\(\s*\"[^\"]*\"\s*,|QT_TR_NOOP|QT_TRANSLATE_NOOP\s*\(\s*\"[^\"]*\"\s*,)\s*\(?\s*$")


def literals(text):
    """(line, start offset, literal body) of every ordinary string literal, comments skipped."""
    i, line, n = 0, 1, len(text)
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
        elif text.startswith("//", i):
            i = text.find("\n", i) if "\n" in text[i:] else n
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            i = end
        elif c == "'":
            j = i + 1
            while j < n and text[j] != "'":
                j += 2 if text[j] == "\\" else 1
            i = j + 1
        elif c == '"':
            raw = i > 0 and text[i - 1] == "R"
            if raw:
                delim_end = text.find("(", i)
                close = ")" + text[i + 1:delim_end] + '"'
                end = text.find(close, delim_end)
                body = text[delim_end + 1:end]
                yield line, i, body
                line += body.count("\n")
                i = end + len(close)
                continue
            j = i + 1
            while j < n and text[j] != '"':
                j += 2 if text[j] == "\\" else 1
            yield line, i, text[i + 1:j]
            i = j + 1
        else:
            i += 1


def strip_comments_before(text, start):
    """The code before `start` on its statement, without comments, for the opener test."""
    head = text[max(0, start - 400):start]
    head = re.sub(r"//[^\n]*", "", head)
    return re.sub(r"/\*.*?\*/", "", head, flags=re.S)


def untranslated_literals(root):
    found = []
    for part_folders in PARTS.values():
        for folder in part_folders:
            for base, _, files in os.walk(os.path.join(root, folder)):
                for name in sorted(files):
                    if not name.endswith((".cpp", ".h")):
                        continue
                    path = os.path.join(base, name)
                    text = open(path, encoding="utf-8").read()
                    lines = text.split("\n")
                    previous_end, previous_ok = -1, False
                    for line, start, body in literals(text):
                        before = strip_comments_before(text, start)
                        # A literal continuing the one before ("a" "b") shares its standing.
                        joined = previous_end >= 0 and text[previous_end:start].strip() == ""
                        ok = (joined and previous_ok) or bool(OPENERS.search(before))
                        previous_end, previous_ok = start + len(body) + 2, ok
                        if ok or not CYRILLIC.search(body):
                            continue
                        marked = any("untranslated:" in lines[k] for k in (line - 1, line - 2) if 0 <= k < len(lines))
                        if not marked:
                            found.append(f"{os.path.relpath(path, root)}:{line}: \"{body[:60]}\"")
    return found


def lupdate_program():
    for candidate in ("/usr/lib/qt6/bin/lupdate", shutil.which("lupdate-qt6"), shutil.which("lupdate")):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    return None


def unfinished_translations(root):
    lupdate = lupdate_program()
    if lupdate is None:
        return ["lupdate is missing (package qt6-l10n-tools)"]
    found = []
    with tempfile.TemporaryDirectory() as temp:
        for part, folders in PARTS.items():
            source = os.path.join(root, "translations", f"{part}_en.ts")
            copy = os.path.join(temp, f"{part}_en.ts")
            if os.path.exists(source):
                shutil.copy(source, copy)
            subprocess.run([lupdate, "-silent", "-no-obsolete", "-locations", "none", "-source-language", "ru_RU",
                            "-target-language", "en_GB", "-extensions", "cpp,h",
                            *[os.path.join(root, f) for f in folders], "-ts", copy],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            text = open(copy, encoding="utf-8").read()
            for match in re.finditer(r"<source>(.*?)</source>\s*<translation type=\"(unfinished|vanished|obsolete)\"",
                                     text, re.S):
                found.append(f"translations/{part}_en.ts: {match.group(2)}: \"{match.group(1)[:60]}\"")
    return found


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    bare = untranslated_literals(root)
    for finding in bare:
        print(f"not a translation source: {finding}")
    open_entries = unfinished_translations(root)
    for finding in open_entries:
        print(f"no English yet: {finding}")
    if bare or open_entries:
        print(f"{len(bare)} literal(s) outside tr(), {len(open_entries)} text(s) without English")
        return 1
    print("every Russian text has its English translation")
    return 0


if __name__ == "__main__":
    sys.exit(main())
