// SPDX-License-Identifier: GPL-3.0-or-later
// Application messages: worker threads and frames post (code, wParam, lParam) to the application
// object; the main window's filter handles them on the user-interface thread. Posting never waits.
#pragma once

#include <QEvent>
#include <cstdint>
#include <functional>

enum : uint32_t {
    WM_DEVICE_WRITE_ERROR = 0x8064,
    WM_DEVICE_READ_ERROR = 0x8065,
    WM_DEVICE_DATA = 0x8066,
    WM_MARKER_CHANGED = 0x8067,
    WM_SENSOR_REMOVED = 0x83EA,
};

class tAppMessageEvent : public QEvent {
  public:
    tAppMessageEvent(uint32_t code, intptr_t wParam, intptr_t lParam);
    static QEvent::Type EventType();
    uint32_t Code;
    intptr_t WParam;
    intptr_t LParam;
};

// Posts to QCoreApplication::instance() (dropped when there is none). Thread-safe.
void PostAppMessage(uint32_t code, intptr_t wParam = 0, intptr_t lParam = 0);

// Test hook: every posted message is also handed to `observer` (on the posting thread).
void SetAppMessageObserverForTests(std::function<void(uint32_t, intptr_t, intptr_t)> observer);
