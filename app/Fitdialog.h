// SPDX-License-Identifier: GPL-3.0-or-later
// TfmFit: «Подобрать формулу» — which formula to fit to the chosen points: one of the school's
// models, each shown with its formula, or the pupil's own formula typed with t and named
// parameters. The dialog only chooses; the window fits. User-interface thread only.
#pragma once

#include <QDialog>
#include <QString>

#include "analysis/Fitmodels.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;

class TfmFit : public QDialog {
    Q_OBJECT
  public:
    // `range` says which points will be fitted («Опыт 1 (красный), от 2,0 до 8,0 с»).
    TfmFit(QWidget* parent, const QString& range);

    tFitModel Model() const;
    QString Formula() const;
    // Preselects a model (and the typed formula, shown for «Своя формула»).
    void SetChoice(tFitModel model, const QString& formula);

    QLabel* lbRange;
    QListWidget* lbModels;
    QLabel* lbFormula;
    QLineEdit* edFormula;
    QDialogButtonBox* btnButtons;

  private:
    void UpdateState();
};
