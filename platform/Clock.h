// SPDX-License-Identifier: GPL-3.0-or-later
// The high-resolution counter: nanoseconds of the monotonic clock, comparable across threads.
// Thread-safe. Tests replace the counter so elapsed-time texts do not depend on the machine's speed.
#pragma once

#include <cstdint>
#include <functional>

// Current counter value in ticks (nanoseconds of std::chrono::steady_clock, or the test counter).
int64_t HighResCounter();
// Ticks per second: 1 000 000 000.
int64_t HighResFrequency();

// Test hook: HighResCounter returns counter() from now on; an empty function restores the clock.
void SetCounterForTests(std::function<int64_t()> counter);
