// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Appmessage.h"

#include <QCoreApplication>
#include <mutex>

namespace {
std::mutex gObserverLock;  // guards gObserver
std::function<void(uint32_t, intptr_t, intptr_t)> gObserver;
}  // namespace

tAppMessageEvent::tAppMessageEvent(uint32_t code, intptr_t wParam, intptr_t lParam)
    : QEvent(EventType()), Code(code), WParam(wParam), LParam(lParam) {}

QEvent::Type tAppMessageEvent::EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void PostAppMessage(uint32_t code, intptr_t wParam, intptr_t lParam) {
    {
        std::lock_guard<std::mutex> lock(gObserverLock);
        if (gObserver) gObserver(code, wParam, lParam);
    }
    // postEvent is thread-safe and takes ownership; the poster never waits for the handler.
    if (QCoreApplication* app = QCoreApplication::instance())
        QCoreApplication::postEvent(app, new tAppMessageEvent(code, wParam, lParam));
}

void SetAppMessageObserverForTests(std::function<void(uint32_t, intptr_t, intptr_t)> observer) {
    std::lock_guard<std::mutex> lock(gObserverLock);
    gObserver = std::move(observer);
}
