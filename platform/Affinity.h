// Processor affinity: the user-interface and measurement threads run on one processor so that
// their counter readings are comparable.
#pragma once

// Restricts the calling thread to the first processor it may run on (CPU 0 on an unrestricted
// system; the lowest allowed CPU inside a cpuset or container). False when the system refuses;
// the thread then keeps its old affinity.
bool PinCurrentThreadToFirstProcessor();
