// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Messagebox.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QPushButton>
#include <QSpacerItem>
#include <algorithm>

#include "foundation/Milestones.h"
#include "foundation/Stringtable.h"

namespace {
std::function<tBoxAnswer(const tBoxRequest&)> gResponder;

QWidget* ActiveParent() {
    return QApplication::activeWindow();
}

// Window managers cut a title that is wider than its window; a box is at least as wide as its
// title in the title-bar font, plus room for the bar's buttons.
int TitleWidth(const QString& title) {
    return QFontMetrics(QFontDatabase::systemFont(QFontDatabase::TitleFont)).horizontalAdvance(title) + 120;
}

// QMessageBox sizes itself when shown; a spacer across its grid is the width it keeps.
void KeepTitleVisible(QMessageBox& box) {
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(
            new QSpacerItem(TitleWidth(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
            grid->rowCount(), 0, 1, grid->columnCount());
}

// Box texts use CR LF like the rest of the program; Qt wants plain LF.
QString ForDisplay(const QString& text) {
    return QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void ShowOk(tBoxRequest::Kind kind, const QString& title, QMessageBox::Icon icon, const QString& text) {
    // Whoever reads the log afterwards learns what the user was told, in the order it happened.
    LogMilestone(milestone::BoxShown(title, text));
    if (gResponder) {
        gResponder({kind, title, text, icon, true, QString()});
        return;
    }
    QMessageBox box(icon, title, ForDisplay(text), QMessageBox::Ok, ActiveParent());
    KeepTitleVisible(box);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}
void ShowNoticeBox(tNoticeKind kind, const QString& text) {
    if (kind == tNoticeKind::Error)
        ShowOk(tBoxRequest::Error, LoadStr(msg::TitleError), QMessageBox::Critical, text);
    else
        ShowOk(tBoxRequest::Warning, LoadStr(msg::TitleWarning), QMessageBox::Warning, text);
}

// Every program that links the boxes (it asks questions or answers them in tests) shows notices in
// them too; without this unit notices go to the log.
[[maybe_unused]] const bool gNoticesInBoxes = (SetNoticeHandler(&ShowNoticeBox), true);
}  // namespace

void ShowInformation(const QString& text) {
    ShowOk(tBoxRequest::Information, ProductTitle(), QMessageBox::Information, text);
}

bool AskYesNo(const QString& text, QMessageBox::Icon icon, bool defaultYes) {
    if (gResponder)
        return gResponder(
                   {tBoxRequest::Question, LoadStr(msg::TitleConfirm), text, icon, defaultYes, QString()})
            .accepted;
    QMessageBox box(icon, LoadStr(msg::TitleConfirm), ForDisplay(text), QMessageBox::Yes | QMessageBox::No,
                    ActiveParent());
    KeepTitleVisible(box);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

tSaveChoice AskSaveDiscardCancel(const QString& text) {
    if (gResponder) {
        const tBoxAnswer answer = gResponder(
            {tBoxRequest::Question, LoadStr(msg::TitleConfirm), text, QMessageBox::Warning, true, QString()});
        if (answer.cancel) return tSaveChoice::Cancel;
        return answer.accepted ? tSaveChoice::Save : tSaveChoice::Discard;
    }
    QMessageBox box(QMessageBox::Warning, LoadStr(msg::TitleConfirm), ForDisplay(text), QMessageBox::NoButton,
                    ActiveParent());
    QPushButton* save =
        box.addButton(QCoreApplication::translate("Messagebox", "&Сохранить"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QCoreApplication::translate("Messagebox", "&Не сохранять"),
                                         QMessageBox::DestructiveRole);
    QPushButton* cancel =
        box.addButton(QCoreApplication::translate("Messagebox", "Отмена"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    if (box.clickedButton() == save) return tSaveChoice::Save;
    if (box.clickedButton() == discard) return tSaveChoice::Discard;
    return tSaveChoice::Cancel;
}

bool ShowErrorOffering(const QString& text, const QString& offer) {
    LogMilestone(milestone::BoxShown(LoadStr(msg::TitleError), text));
    if (gResponder)
        return gResponder(
                   {tBoxRequest::Error, LoadStr(msg::TitleError), text, QMessageBox::Critical, true, offer})
            .accepted;
    QMessageBox box(QMessageBox::Critical, LoadStr(msg::TitleError), ForDisplay(text), QMessageBox::NoButton,
                    ActiveParent());
    KeepTitleVisible(box);
    QPushButton* chosen = box.addButton(offer, QMessageBox::AcceptRole);
    QPushButton* cancel =
        box.addButton(QCoreApplication::translate("Messagebox", "Отмена"), QMessageBox::RejectRole);
    box.setDefaultButton(chosen);
    box.setEscapeButton(cancel);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return box.clickedButton() == chosen;
}

bool InputQuery(const QString& prompt, QString& value) {
    if (gResponder) {
        const tBoxAnswer answer = gResponder(
            {tBoxRequest::Input, LoadStr(msg::TitleInput), prompt, QMessageBox::NoIcon, true, QString()});
        if (answer.accepted) value = answer.input;
        return answer.accepted;
    }
    QInputDialog dialog(ActiveParent());
    dialog.setWindowTitle(LoadStr(msg::TitleInput));
    dialog.setLabelText(prompt);
    // Room for the title and for a label of a few words.
    dialog.setMinimumWidth(
        std::max(TitleWidth(dialog.windowTitle()), dialog.fontMetrics().horizontalAdvance(prompt) * 3 / 2));
    dialog.setTextValue(value);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted) return false;
    value = dialog.textValue();
    return true;
}

void SetMessageBoxResponderForTests(std::function<tBoxAnswer(const tBoxRequest&)> responder) {
    gResponder = std::move(responder);
}
