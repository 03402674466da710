// SPDX-License-Identifier: GPL-3.0-or-later
// The «Таблица» page: the points of the shown runs as a table (tTableModel), copied to the
// clipboard as tab-separated text with Ctrl+C, and, for scenarios without a sensor, the place where
// the pupil types the measured pairs. A cell that is not a number is refused with a hint under the
// table. User-interface thread only.
#pragma once

#include <QStyledItemDelegate>
#include <QTableView>
#include <QWidget>

class QLabel;
class tLesson;
class tTableModel;
class tExperiment;

class TTableView : public QTableView {
    Q_OBJECT
  public:
    explicit TTableView(QWidget* parent = nullptr);
    void SetTableModel(tTableModel* model);
    tTableModel* TableModel() const { return FModel; }
    // The selection as tab-separated lines (numbers with the locale's decimal mark).
    QString SelectionText() const;
    void CopySelection();
    // Typed data: removes the selected points.
    void DeleteSelectedRows();

  signals:
    // A typed cell was refused (`hint` says why) or accepted (empty hint).
    void CellHint(const QString& hint);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Typing pairs: Enter goes on to the next number of the row, after the last one to the first
    // number of the next row, and opens it for typing.
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

  private:
    void FitColumns();
    // A measured table has a row per point, and a view's row header keeps about ten bytes for each
    // and lays all of them out again whenever a tick adds rows. So the view holds the model of a
    // measured table only while it is shown; a typed table (a few rows, maybe an open editor)
    // keeps it.
    void AttachModel(bool shown);
    tTableModel* FModel = nullptr;
};

class TTablePage : public QWidget {
    Q_OBJECT
  public:
    // `manual`: the scenario has no sensor and the table takes typed pairs.
    TTablePage(tLesson* lesson, const tExperiment& scenario, bool manual, QWidget* parent = nullptr);
    tTableModel* Model() const { return FModel; }
    TTableView* View() const { return FView; }
    // The line under the table: empty, or why a typed cell was refused.
    QLabel* HintLabel() const { return FHint; }

  protected:
    // The table takes the keys as soon as its tab is shown, so the first one typed is not lost.
    void showEvent(QShowEvent* event) override;

  private:
    tTableModel* FModel;
    TTableView* FView;
    QLabel* FHint;
};
