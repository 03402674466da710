// SPDX-License-Identifier: GPL-3.0-or-later
// Counts the application messages of one code that any thread posts while it lives.
#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/Appmessage.h"

class tPostedCount {
  public:
    explicit tPostedCount(uint32_t code) {
        SetAppMessageObserverForTests([this, code](uint32_t posted, intptr_t, intptr_t) {
            if (posted == code) ++FCount;
        });
    }
    ~tPostedCount() { SetAppMessageObserverForTests({}); }
    tPostedCount(const tPostedCount&) = delete;
    tPostedCount& operator=(const tPostedCount&) = delete;
    int Count() const { return FCount.load(); }

  private:
    std::atomic<int> FCount{0};
};
