// SPDX-License-Identifier: GPL-3.0-or-later
// Processor affinity: the user-interface and measurement threads run on one processor so that
// their counter readings are comparable. On Linux a new thread inherits the affinity of the thread
// that creates it, so every other worker started from a pinned thread lets itself go again.
#pragma once

// Restricts the calling thread to the first processor it may run on (CPU 0 on an unrestricted
// system; the lowest allowed CPU inside a cpuset or container). False when the system refuses;
// the thread then keeps its old affinity. The first call remembers the processors allowed before.
bool PinCurrentThreadToFirstProcessor();
// Gives the calling thread back the processors allowed before the first pin (no-op when nothing
// was pinned yet). For workers that are not meant to share the first processor.
void ReleaseCurrentThreadFromPin();
