// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Notice.h"

#include <atomic>

#include "foundation/Logfile.h"

namespace {
std::atomic<tNoticeHandler> gHandler{nullptr};

void Show(tNoticeKind kind, const QString& text) {
    if (const tNoticeHandler handler = gHandler.load()) {
        handler(kind, text);
        return;
    }
    LogAdd((kind == tNoticeKind::Error ? QStringLiteral("Error: ") : QStringLiteral("Warning: ")) + text);
}
}  // namespace

void ShowError(const QString& text) {
    Show(tNoticeKind::Error, text);
}

void ShowWarning(const QString& text) {
    Show(tNoticeKind::Warning, text);
}

void SetNoticeHandler(tNoticeHandler handler) {
    gHandler.store(handler);
}
