// SPDX-License-Identifier: GPL-3.0-or-later
// What every fuzz target shares: the Qt application object the decoders need, and the check that
// turns a broken promise of the code under test into a crash the fuzzer keeps.
#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Aborts with the condition's text: the fuzzer saves the input, the replay test fails.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace rovelin_fuzz {
// A QGuiApplication on the offscreen platform (documents and images need one), made once.
void EnsureGuiApplication();
// The input as bytes without a copy; valid during the call only.
inline QByteArray Bytes(const uint8_t* data, size_t size) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}
}  // namespace rovelin_fuzz
