// SPDX-License-Identifier: GPL-3.0-or-later
// Memory for the arrays of a million values a fit copies and walks: blocks of 4 MB and more come
// straight from the kernel, aligned and marked for 2 MB huge pages where the system grants them on
// request, so a first touch costs one page fault per 2 MB instead of one per 4 KB (on a virtual
// machine a fault can cost tens of microseconds, which made the faults of a fit dearer than its
// arithmetic). Smaller blocks come from the ordinary heap. Any thread.
#pragma once

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

void* AllocateBigBlock(std::size_t bytes);
void FreeBigBlock(void* block, std::size_t bytes);

template <class T>
struct tBigBlockAllocator {
    using value_type = T;
    tBigBlockAllocator() = default;
    template <class U>
    tBigBlockAllocator(const tBigBlockAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(AllocateBigBlock(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) { FreeBigBlock(p, n * sizeof(T)); }
    // Values are written before they are read: resizing leaves them as they come (no zeroing pass
    // over a million values).
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... tArgs>
    void construct(U* p, tArgs&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<tArgs>(args)...);
    }
    template <class U>
    bool operator==(const tBigBlockAllocator<U>&) const {
        return true;
    }
};

// The values a fit works on.
using tSampleVector = std::vector<double, tBigBlockAllocator<double>>;
