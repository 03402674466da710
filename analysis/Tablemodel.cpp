// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Tablemodel.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

#include "analysis/Csv.h"
#include "foundation/Functions.h"
#include "lesson/Lesson.h"

namespace {
struct tPoint {
    double X;
    double Y;
    QString Label;
};

std::vector<tPoint> PointsOf(const tRun& run) {
    std::vector<tPoint> points;
    points.reserve(static_cast<std::size_t>(run.Count()));
    for (qsizetype i = 0; i < run.Count(); ++i) points.push_back({run.X(i), run.Y(i), run.Label(i)});
    return points;
}

void Refill(tRun& run, const std::vector<tPoint>& points) {
    run.Clear();
    for (const tPoint& point : points) run.AppendXY(point.X, point.Y, point.Label);
}
}  // namespace

tTableModel::tTableModel(tLesson* lesson, QObject* parent) : QAbstractTableModel(parent), FLesson(lesson) {
    connect(lesson, &tLesson::SeriesChanged, this, [this] {
        if (!FSelfChange) Reset();
    });
    connect(lesson, &tLesson::RunChanged, this, [this](tRun* run) {
        if (!FSelfChange && Shows(run)) Reset();
    });
    connect(lesson, &tLesson::PointsAppended, this, &tTableModel::OnAppended);
    // A lesson that goes away leaves an empty table rather than a dangling one.
    connect(lesson, &QObject::destroyed, this, [this] { Reset(); });
    Rebuild();
}

void tTableModel::SetAxes(const QString& captionX, const QString& captionY, const QString& formatX,
                          const QString& formatY) {
    FCaptionX = captionX;
    FCaptionY = captionY;
    FFormatX = formatX;
    FFormatY = formatY;
    Reset();
}

void tTableModel::SetManualEntry(bool on) {
    if (FManual == on) return;
    beginResetModel();
    FManual = on;
    FPendingX.reset();
    FPendingY.reset();
    FPendingLabel.clear();
    Rebuild();
    endResetModel();
}

void tTableModel::Reset() {
    beginResetModel();
    Rebuild();
    endResetModel();
}

void tTableModel::Rebuild() {
    FColumns.clear();
    for (int slot = 0; slot < tLesson::SeriesSlots; ++slot) {
        // Typed data always has the first series' columns, even before the first pair.
        if (!SlotRun(slot) && !(FManual && slot == 0)) continue;
        for (tKind kind : {tKind::Time, tKind::Value, tKind::Label}) FColumns.push_back({slot, kind});
    }
    FRows = CountRows();
}

qsizetype tTableModel::CountRows() const {
    qsizetype rows = 0;
    for (int slot = 0; slot < tLesson::SeriesSlots; ++slot)
        if (const tRun* run = SlotRun(slot)) rows = std::max(rows, run->Count());
    return rows;
}

bool tTableModel::Shows(const tRun* run) const {
    for (int slot = 0; slot < tLesson::SeriesSlots; ++slot)
        if (run && SlotRun(slot) == run) return true;
    return false;
}

void tTableModel::OnAppended(tRun* run, qsizetype from, qsizetype count) {
    if (FSelfChange || !Shows(run)) return;
    const qsizetype rows = CountRows();
    // Points that landed in rows another run already made: only their cells change.
    if (from < FRows && count > 0)
        emit dataChanged(index(static_cast<int>(from), 0),
                         index(static_cast<int>(std::min(FRows, from + count) - 1), columnCount() - 1));
    if (rows > FRows) {
        beginInsertRows(QModelIndex(), static_cast<int>(FRows), static_cast<int>(rows - 1));
        FRows = rows;
        endInsertRows();
    }
}

int tTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(FRows) + (FManual ? 1 : 0);
}

int tTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FColumns.size());
}

tRun* tTableModel::ColumnRun(int column) const {
    if (column < 0 || column >= columnCount()) return nullptr;
    return SlotRun(FColumns[static_cast<std::size_t>(column)].Slot);
}

QString tTableModel::ColumnCaption(int column) const {
    if (column < 0 || column >= columnCount()) return {};
    const tColumn& col = FColumns[static_cast<std::size_t>(column)];
    QString caption;
    switch (col.Kind) {
        case tKind::Time:
            caption = FCaptionX;
            break;
        case tKind::Value:
            caption = FCaptionY;
            break;
        case tKind::Label:
            caption = tr("Метка");
            break;
    }
    // With two runs side by side each column says which run it belongs to.
    if (columnCount() > 3)
        if (const tRun* run = SlotRun(col.Slot)) caption += tr(" (Опыт %1)").arg(FLesson->IndexOf(run) + 1);
    return caption;
}

QVariant tTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return ColumnCaption(section);
    if (IsEntryRow(section)) return QStringLiteral("*");
    return section + 1;
}

QVariant tTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= columnCount()) return {};
    const tColumn& col = FColumns[static_cast<std::size_t>(index.column())];
    if (role == Qt::TextAlignmentRole)
        return col.Kind == tKind::Label ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                        : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole) return {};
    const bool edit = role == Qt::EditRole;
    const QString& pattern = col.Kind == tKind::Time ? FFormatX : FFormatY;
    const auto number = [&](double value) {
        return edit ? PlainNumber(value, DecimalSeparator()) : FormatFloat(pattern, value);
    };

    if (IsEntryRow(index.row())) {
        if (role == Qt::ToolTipRole) return tr("Введите два числа: %1 и %2").arg(FCaptionX, FCaptionY);
        if (col.Kind == tKind::Time && FPendingX) return number(*FPendingX);
        if (col.Kind == tKind::Value && FPendingY) return number(*FPendingY);
        if (col.Kind == tKind::Label) return FPendingLabel;
        return {};
    }
    if (role == Qt::ToolTipRole) return {};
    const tRun* run = SlotRun(col.Slot);
    if (!run || index.row() >= run->Count()) return {};
    switch (col.Kind) {
        case tKind::Time:
            return number(run->X(index.row()));
        case tKind::Value:
            return number(run->Y(index.row()));
        case tKind::Label:
            break;
    }
    return run->Label(index.row());
}

Qt::ItemFlags tTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (FManual && index.isValid() && FColumns[static_cast<std::size_t>(index.column())].Slot == 0)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool tTableModel::ParseNumber(const QString& text, double& value) {
    double parsed = 0;
    if (!TryTextToFloat(text.trimmed(), parsed) || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

QString tTableModel::BadNumberHint() {
    return tr("Здесь нужно число, например 12,5 или 12.5");
}

bool tTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    return SetManualCell(index.row(), FColumns[static_cast<std::size_t>(index.column())].Kind,
                         value.toString());
}

tRun* tTableModel::SlotRun(int slot) const {
    return FLesson ? FLesson->SeriesRun(slot) : nullptr;
}

tRun* tTableModel::ManualRun(bool create) {
    tRun* run = SlotRun(0);
    if (run || !create || !FLesson) return run;
    FSelfChange = true;
    run = FLesson->AddRun(1.0);
    run->Started = QDateTime::currentDateTime();
    FLesson->SetSeriesRun(0, run);
    FSelfChange = false;
    return run;
}

void tTableModel::AnnounceManualChange(tRun* run) {
    if (!FLesson) return;
    FSelfChange = true;
    FLesson->NotifyChanged(run);  // the chart redraws, the lesson counts as changed
    FSelfChange = false;
}

bool tTableModel::SetManualCell(int row, tKind kind, const QString& text) {
    double number = 0;
    if (kind != tKind::Label && !ParseNumber(text, number)) return false;

    if (IsEntryRow(row)) {
        if (kind == tKind::Time) FPendingX = number;
        if (kind == tKind::Value) FPendingY = number;
        if (kind == tKind::Label) FPendingLabel = text;
        if (!FPendingX || !FPendingY) {
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
            return true;
        }
        InsertManualPoint(*FPendingX, *FPendingY, FPendingLabel);
        FPendingX.reset();
        FPendingY.reset();
        FPendingLabel.clear();
        emit dataChanged(index(static_cast<int>(FRows), 0),
                         index(static_cast<int>(FRows), columnCount() - 1));
        return true;
    }

    tRun* run = ManualRun(false);
    if (!run || row >= run->Count()) return false;
    if (kind == tKind::Label) {
        run->SetLabel(row, text);
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    } else if (kind == tKind::Value) {
        run->SetPoint(row, run->X(row), number);
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    } else {
        // A new X may move the point: the run stays in X order.
        beginResetModel();
        std::vector<tPoint> points = PointsOf(*run);
        points[static_cast<std::size_t>(row)].X = number;
        std::stable_sort(points.begin(), points.end(),
                         [](const tPoint& a, const tPoint& b) { return a.X < b.X; });
        Refill(*run, points);
        endResetModel();
    }
    AnnounceManualChange(run);
    return true;
}

int tTableModel::InsertManualPoint(double x, double y, const QString& label) {
    tRun* run = ManualRun(true);
    if (!run) return -1;
    std::vector<tPoint> points = PointsOf(*run);
    const auto at = std::upper_bound(points.begin(), points.end(), x,
                                     [](double value, const tPoint& point) { return value < point.X; });
    const int row = static_cast<int>(at - points.begin());
    beginInsertRows(QModelIndex(), row, row);
    points.insert(at, {x, y, label});
    Refill(*run, points);
    FRows = CountRows();
    endInsertRows();
    AnnounceManualChange(run);
    return row;
}

bool tTableModel::removeRows(int row, int count, const QModelIndex& parent) {
    tRun* run = ManualRun(false);
    if (parent.isValid() || !FManual || !run || count <= 0 || row < 0 || row + count > run->Count())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    std::vector<tPoint> points = PointsOf(*run);
    points.erase(points.begin() + row, points.begin() + row + count);
    Refill(*run, points);
    FRows = CountRows();
    endRemoveRows();
    AnnounceManualChange(run);
    return true;
}
