// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Fitdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "analysis/Fit.h"

TfmFit::TfmFit(QWidget* parent, const QString& range) : QDialog(parent) {
    setObjectName(QStringLiteral("fmFit"));
    setWindowTitle(tr("Подобрать формулу"));
    auto* column = new QVBoxLayout(this);
    lbRange = new QLabel(range);
    lbRange->setObjectName(QStringLiteral("lbRange"));
    lbRange->setWordWrap(true);
    column->addWidget(lbRange);

    lbModels = new QListWidget;
    lbModels->setObjectName(QStringLiteral("lbModels"));
    lbModels->setAccessibleName(tr("Формулы"));
    for (const tFitModelInfo& info : FitModels()) {
        const QString text =
            info.Formula.isEmpty() ? info.Title : info.Title + QStringLiteral(":   ") + info.Formula;
        auto* item = new QListWidgetItem(text, lbModels);
        item->setData(Qt::UserRole, static_cast<int>(info.Id));
    }
    // Wide enough for the longest model and its formula, in either language, without a scroll bar.
    lbModels->setMinimumWidth(lbModels->sizeHintForColumn(0) + 2 * lbModels->frameWidth() +
                              lbModels->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
    column->addWidget(lbModels, 1);

    lbFormula = new QLabel(tr("&Формула (время — t, неизвестные — любые буквы):"));
    lbFormula->setObjectName(QStringLiteral("lbFormula"));
    edFormula = new QLineEdit;
    edFormula->setObjectName(QStringLiteral("edFormula"));
    edFormula->setPlaceholderText(tr("например, a + b*t^2"));
    lbFormula->setBuddy(edFormula);
    column->addWidget(lbFormula);
    column->addWidget(edFormula);

    btnButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    btnButtons->setObjectName(QStringLiteral("btnButtons"));
    btnButtons->button(QDialogButtonBox::Ok)->setText(tr("Подобрать"));
    btnButtons->button(QDialogButtonBox::Cancel)->setText(tr("Отмена"));
    column->addWidget(btnButtons);
    connect(btnButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(btnButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(lbModels, &QListWidget::currentRowChanged, this, &TfmFit::UpdateState);
    connect(lbModels, &QListWidget::itemDoubleClicked, this, [this] {
        if (btnButtons->button(QDialogButtonBox::Ok)->isEnabled()) accept();
    });
    connect(edFormula, &QLineEdit::textChanged, this, &TfmFit::UpdateState);
    lbModels->setCurrentRow(0);
    UpdateState();
}

tFitModel TfmFit::Model() const {
    const QListWidgetItem* item = lbModels->currentItem();
    return item ? static_cast<tFitModel>(item->data(Qt::UserRole).toInt()) : tFitModel::Linear;
}

QString TfmFit::Formula() const {
    return Model() == tFitModel::Formula ? edFormula->text().trimmed() : QString();
}

void TfmFit::SetChoice(tFitModel model, const QString& formula) {
    for (int row = 0; row < lbModels->count(); ++row)
        if (lbModels->item(row)->data(Qt::UserRole).toInt() == static_cast<int>(model))
            lbModels->setCurrentRow(row);
    edFormula->setText(formula);
    UpdateState();
}

void TfmFit::UpdateState() {
    // The typed formula matters only for «Своя формула»; without one there is nothing to fit.
    const bool own = Model() == tFitModel::Formula;
    lbFormula->setEnabled(own);
    edFormula->setEnabled(own);
    btnButtons->button(QDialogButtonBox::Ok)->setEnabled(!own || !edFormula->text().trimmed().isEmpty());
}
