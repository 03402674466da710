// SPDX-License-Identifier: GPL-3.0-or-later
// tStopSignal: a manual-reset event on an eventfd, so a blocking poll() on a device can be woken
// at once by another thread. Set() is thread-safe and stays set.
#pragma once

class tStopSignal {
  public:
    tStopSignal();
    ~tStopSignal();
    tStopSignal(const tStopSignal&) = delete;
    tStopSignal& operator=(const tStopSignal&) = delete;

    void Set();
    bool IsSet() const;
    // Becomes readable (POLLIN) once Set() was called.
    int Fd() const { return FFd; }
    // Waits until set or timeoutMs passed; true when set.
    bool Wait(int timeoutMs) const;

  private:
    int FFd;
};
