// SPDX-License-Identifier: GPL-3.0-or-later
// What the English interface's tests look for: Russian left in a text a person sees.
#pragma once

#include <QString>
#include <algorithm>

namespace rovelin_test {

// True when `text` holds a Cyrillic letter (U+0400–U+052F).
inline bool HasCyrillic(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() >= 0x400 && c.unicode() < 0x530; });
}

}  // namespace rovelin_test
