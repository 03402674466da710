// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Bigblocks.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kBig = 2 * kHugePage;

std::size_t Rounded(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}
}  // namespace

void* AllocateBigBlock(std::size_t bytes) {
    if (bytes < kBig) {
        void* block = std::malloc(bytes == 0 ? 1 : bytes);
        if (!block) throw std::bad_alloc();
        return block;
    }
    // Huge pages need 2 MB alignment: map one page more and give back what lies outside.
    const std::size_t size = Rounded(bytes);
    void* raw = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start) munmap(raw, aligned - start);
    const std::uintptr_t end = start + size + kHugePage;
    if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    // Only advice: where huge pages are off, the block is ordinary memory.
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void FreeBigBlock(void* block, std::size_t bytes) {
    if (bytes < kBig) {
        std::free(block);
        return;
    }
    munmap(block, Rounded(bytes));
}
