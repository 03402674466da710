// SPDX-License-Identifier: GPL-3.0-or-later
// Error and warning notices for code that has no windows of its own (device libraries, the scenario
// loader, the handler guard). The program's dialog library routes them to message boxes; where it
// is not linked (window-free tools and tests) they go to the log, so these libraries need Qt Core only.
#pragma once

#include <QString>

enum class tNoticeKind { Error, Warning };
using tNoticeHandler = void (*)(tNoticeKind kind, const QString& text);

// The error box ("Ошибка", OK) or its log line.
void ShowError(const QString& text);
// The warning box ("Внимание", OK) or its log line.
void ShowWarning(const QString& text);

// Installed once by the dialog library; null restores the log.
void SetNoticeHandler(tNoticeHandler handler);

// The answer to "save the unsaved work?": Save, Don't save, Cancel (asked by the dialog library's
// AskSaveDiscardCancel, or by whoever stands in for it).
enum class tSaveChoice { Save, Discard, Cancel };
