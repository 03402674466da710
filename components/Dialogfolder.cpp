// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Dialogfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include "foundation/Schoolsettings.h"

namespace {
QString& LastFolder() {
    static QString folder;
    return folder;
}

QString RunDialog(QFileDialog& dialog, const QStringList& filters, const QString& suffix) {
    dialog.setSizeGripEnabled(true);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    RememberDialogFolder(dialog.selectedFiles().first());
    return dialog.selectedFiles().first();
}
}  // namespace

QString DialogFolder() {
    const QString last = LastFolder();
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    // The school's (or the user's own) lesson folder, made when it is not there yet.
    const QString lessons = tSchoolSettings::Load().LessonFolder();
    if (!lessons.isEmpty() && QDir().mkpath(lessons)) return lessons;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    return QDir::homePath();
}

void RememberDialogFolder(const QString& chosenPath) {
    if (chosenPath.isEmpty()) return;
    LastFolder() = QFileInfo(chosenPath).absolutePath();
}

QString ProposedFileName(const QString& name, const QDate& date, const QString& suffix) {
    QString base = name.trimmed();
    // Characters that Windows, macOS or Linux refuse in a name, and control characters.
    for (QChar& c : base)
        if (c.unicode() < 32 || QStringLiteral("\\/:*?\"<>|").contains(c)) c = u'_';
    while (base.endsWith(u'.')) base.chop(1);
    if (base.isEmpty()) base = QCoreApplication::translate("Dialogfolder", "Результаты");
    return QStringLiteral("%1 %2.%3").arg(base, date.toString(QStringLiteral("yyyy-MM-dd")), suffix);
}

QString AskSaveFileName(QWidget* owner, const QString& title, const QStringList& filters,
                        const QString& suffix, const QString& proposed, bool confirmOverwrite) {
    QFileDialog dialog(owner, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QFileDialog::Options options = QFileDialog::DontUseNativeDialog;
    if (!confirmOverwrite) options |= QFileDialog::DontConfirmOverwrite;
    dialog.setOptions(options);
    const QFileInfo file(proposed);
    dialog.setDirectory(file.isAbsolute() ? file.absolutePath() : DialogFolder());
    dialog.selectFile(file.fileName());
    return RunDialog(dialog, filters, suffix);
}

QString AskOpenFileName(QWidget* owner, const QString& title, const QStringList& filters,
                        const QString& suffix) {
    QFileDialog dialog(owner, title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOptions(QFileDialog::DontUseNativeDialog);
    dialog.setDirectory(DialogFolder());
    return RunDialog(dialog, filters, suffix);
}
