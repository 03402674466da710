// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Runsdialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <algorithm>

#include "lesson/Lesson.h"

namespace {
// "Опыт 2 — 04.03.2026 09:15:30, T100, 1234 точек" for the list of runs.
QString RunCaption(const tRun& run, int index) {
    QString text = QCoreApplication::translate("Runsdialog", "Опыт %1").arg(index + 1);
    if (run.Started.isValid())
        text += QStringLiteral(" — ") + run.Started.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    if (!run.SensorName.isEmpty()) text += QStringLiteral(", ") + run.SensorName;
    return text + QCoreApplication::translate("Runsdialog", ", точек: %1").arg(run.Count());
}
}  // namespace

bool AskSeriesRunsDialog(QWidget* owner, const tLesson& lesson, bool twoSeries, int& first, int& second) {
    QDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("fmRuns"));
    dialog.setWindowTitle(QCoreApplication::translate("Runsdialog", "Опыты урока"));
    auto* form = new QFormLayout(&dialog);
    // A run's caption is long: the field grows with the dialog, and a label that does not fit
    // beside it goes above it, instead of the combo box being drawn over its label.
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    auto combo = [&](int current) {
        auto* box = new QComboBox(&dialog);
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->addItem(QCoreApplication::translate("Runsdialog", "(не показывать)"), -1);
        qsizetype longest = 30;
        for (int i = 0; i < lesson.RunCount(); ++i) {
            box->addItem(RunCaption(*lesson.Run(i), i), i);
            longest = std::max(longest, box->itemText(i + 1).size());
        }
        // The whole caption shows, up to a width any screen has room for.
        box->setMinimumContentsLength(static_cast<int>(std::min<qsizetype>(longest, 60)));
        box->setCurrentIndex(current + 1);
        return box;
    };
    QComboBox* one = combo(first);
    QComboBox* two = combo(second);
    form->addRow(QCoreApplication::translate("Runsdialog", "Первый график (красный):"), one);
    if (twoSeries)
        form->addRow(QCoreApplication::translate("Runsdialog", "Второй график (синий):"), two);
    else
        two->hide();  // not in the form: shown, it would lie over the first row's label
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return false;
    first = one->currentData().toInt();
    second = two->currentData().toInt();
    return true;
}
