// SPDX-License-Identifier: GPL-3.0-or-later
// A small record that any thread reads and tests replace (the fixed waits of the device and
// measurement layers): copied in and out under a lock, so a reader never sees half an update.
#pragma once

#include <mutex>

template <class T>
class tSharedRecord {
  public:
    T Get() const {
        std::lock_guard<std::mutex> lock(FLock);
        return FValue;
    }
    void Set(const T& value) {
        std::lock_guard<std::mutex> lock(FLock);
        FValue = value;
    }

  private:
    mutable std::mutex FLock;
    T FValue{};
};
