// SPDX-License-Identifier: GPL-3.0-or-later
// The kinds of message box, application-modal, with titles from the string table:
// 20000 error (OK), 20001 warning (OK), 20003 question (Yes/No), 20005 input (OK/Cancel); an
// information box (OK) carries the program's name.
// Tests install a responder so no box blocks an offscreen run. This unit is the dialog library
// (rovelin_dialogs, Qt Widgets): linking it routes ShowError/ShowWarning (foundation/Notice.h) here.
// Every error and warning box is also written to the log as a milestone line (its title and text).
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

#include "foundation/Notice.h"

// What went well and where to find it (OK), titled with the program's name.
void ShowInformation(const QString& text);
// Yes/No question; `icon` is Question or Warning; returns true for Yes.
bool AskYesNo(const QString& text, QMessageBox::Icon icon, bool defaultYes);
// Unsaved work: Save / Don't save / Cancel, titled "Подтверждение", warning icon, Save the default.
// A test responder answers Save with accepted, Cancel with `cancel`, Don't save otherwise.
tSaveChoice AskSaveDiscardCancel(const QString& text);
// An error box with a way out: the button `offer` (the default) beside «Отмена»; true when `offer`
// was chosen. A test responder sees an Error request carrying `offer` and chooses it with accepted.
bool ShowErrorOffering(const QString& text, const QString& offer);
// Input box titled "Ввод данных"; returns true on OK with the text in `value`.
bool InputQuery(const QString& prompt, QString& value);

struct tBoxRequest {
    enum Kind { Error, Warning, Question, Input, Information } kind;
    QString title;
    QString text;
    QMessageBox::Icon icon;
    bool defaultYes;
    QString offer;  // the button beside «Отмена» of an error box with a way out, else empty
};
struct tBoxAnswer {
    bool accepted = true;  // Yes / OK
    QString input;
    bool cancel = false;  // Cancel of a three-way question
};
// Test hook: answers every box instead of showing it; empty restores real boxes.
void SetMessageBoxResponderForTests(std::function<tBoxAnswer(const tBoxRequest&)> responder);
