// SPDX-License-Identifier: GPL-3.0-or-later
// tTableModel: the points of the runs the chart's series show, as a table — per shown run a time,
// a value and a label column, one row per point. It reads the runs in place (no copy), so a table
// of a million points costs nothing until rows are looked at, and it follows live runs through the
// lesson's change signals. For scenarios without a sensor it also takes typed pairs into the run of
// the first series (kept in ascending X), with an entry row at the bottom. User-interface thread.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>
#include <optional>
#include <vector>

#include "lesson/Lesson.h"

class tRun;

class tTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum class tKind { Time, Value, Label };
    struct tColumn {
        int Slot;  // series slot of the lesson
        tKind Kind;
    };

    explicit tTableModel(tLesson* lesson, QObject* parent = nullptr);

    // Captions and number patterns of the scenario's axes (X = time or the typed first number).
    void SetAxes(const QString& captionX, const QString& captionY, const QString& formatX,
                 const QString& formatY);
    // Typed data: pairs go into the run of series 0, which is created with the first pair.
    void SetManualEntry(bool on);
    bool ManualEntry() const { return FManual; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Typed cells: a number with either decimal mark (time and value), any text (label). A bad
    // number is refused (false) and nothing changes.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Typed data only: removes points (the entry row stays).
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    // Rows that hold points (without the entry row).
    qsizetype PointRows() const { return FRows; }
    bool IsEntryRow(int row) const { return FManual && row == FRows; }
    const std::vector<tColumn>& Columns() const { return FColumns; }
    tRun* ColumnRun(int column) const;
    QString ColumnCaption(int column) const;
    QString FormatX() const { return FFormatX; }
    QString FormatY() const { return FFormatY; }

    // A typed number: either decimal mark, finite.
    static bool ParseNumber(const QString& text, double& value);
    // Shown next to a refused cell.
    static QString BadNumberHint();

  private:
    void Reset();
    void Rebuild();
    qsizetype CountRows() const;
    bool Shows(const tRun* run) const;
    void OnAppended(tRun* run, qsizetype from, qsizetype count);
    tRun* ManualRun(bool create);
    bool SetManualCell(int row, tKind kind, const QString& text);
    // Puts a typed point into the run at its place in X order; returns its row.
    int InsertManualPoint(double x, double y, const QString& label);
    void AnnounceManualChange(tRun* run);

    tRun* SlotRun(int slot) const;

    QPointer<tLesson> FLesson;
    std::vector<tColumn> FColumns;
    qsizetype FRows = 0;
    bool FManual = false;
    bool FSelfChange = false;  // our own edit is being announced: do not reset for it
    QString FCaptionX, FCaptionY, FFormatX, FFormatY;
    std::optional<double> FPendingX, FPendingY;  // the entry row's cells typed so far
    QString FPendingLabel;
};
