// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Tableview.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QHideEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QShowEvent>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <set>

#include "analysis/Csv.h"
#include "analysis/Tablemodel.h"
#include "experiments/Experiment.h"
#include "foundation/Functions.h"

namespace {
// Set on a cell's editor when Enter was pressed in it.
constexpr char kEnterPressed[] = "enterPressed";

// Lets the pupil type freely but keeps the editor open on Enter until the text is a number.
class tNumberValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        double value = 0;
        return tTableModel::ParseNumber(input, value) ? Acceptable : Intermediate;
    }
};

class tCellDelegate : public QStyledItemDelegate {
  public:
    explicit tCellDelegate(TTableView* view) : QStyledItemDelegate(view), FView(view) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        auto* line = qobject_cast<QLineEdit*>(editor);
        // The view closes an editor with the same hint for Enter and for a click on another row;
        // only Enter goes on to the next cell (TTableView::closeEditor).
        if (line)
            connect(line, &QLineEdit::returnPressed, line,
                    [line] { line->setProperty(kEnterPressed, true); });
        if (!line || !IsNumberColumn(index)) return editor;
        line->setValidator(new tNumberValidator(line));
        const auto check = [this, line] {
            const bool bad = !line->text().trimmed().isEmpty() && !line->hasAcceptableInput();
            line->setStyleSheet(bad ? QStringLiteral("background: #ffd8d8;") : QString());
            emit FView->CellHint(bad ? tTableModel::BadNumberHint() : QString());
            if (bad)
                QToolTip::showText(line->mapToGlobal(QPoint(0, line->height())), tTableModel::BadNumberHint(),
                                   line);
        };
        connect(line, &QLineEdit::textEdited, line, check);
        connect(line, &QLineEdit::returnPressed, line, check);
        return editor;
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        // Leaving an empty cell changes nothing; leaving a bad number is refused with the hint.
        if (line && line->text().trimmed().isEmpty() && IsNumberColumn(index)) return;
        if (line && IsNumberColumn(index) && !line->hasAcceptableInput()) {
            emit FView->CellHint(tTableModel::BadNumberHint());
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

  private:
    bool IsNumberColumn(const QModelIndex& index) const {
        const tTableModel* model = FView->TableModel();
        return model &&
               model->Columns()[static_cast<std::size_t>(index.column())].Kind != tTableModel::tKind::Label;
    }
    TTableView* FView;
};
}  // namespace

TTableView::TTableView(QWidget* parent) : QTableView(parent) {
    setObjectName(QStringLiteral("tvTable"));
    setItemDelegate(new tCellDelegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setAlternatingRowColors(true);
    setWordWrap(false);
    // Fixed row heights: the view never measures rows, so a million of them scroll smoothly.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](QPoint pos) {
        QMenu menu(this);
        menu.addAction(tr("Копировать"), QKeySequence::Copy, this, &TTableView::CopySelection);
        if (FModel && FModel->ManualEntry())
            menu.addAction(tr("Удалить строки"), QKeySequence::Delete, this, &TTableView::DeleteSelectedRows);
        menu.exec(viewport()->mapToGlobal(pos));
    });
}

void TTableView::SetTableModel(tTableModel* model) {
    FModel = model;
    AttachModel(isVisible());
    connect(model, &QAbstractItemModel::modelReset, this, &TTableView::FitColumns);
    // During a run the table follows the newest point, unless the pupil scrolled away from it.
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        QScrollBar* bar = verticalScrollBar();
        setProperty("followEnd", bar->value() == bar->maximum() && !FModel->ManualEntry());
    });
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (property("followEnd").toBool() && this->model() == FModel) scrollToBottom();
    });
}

void TTableView::AttachModel(bool shown) {
    if (!FModel) return;
    const bool attach = shown || FModel->ManualEntry();
    if (attach == (model() == FModel)) return;
    // The view made the selection model it had and does not delete it when the model changes.
    QItemSelectionModel* old = selectionModel();
    setModel(attach ? FModel : nullptr);
    delete old;
    if (attach) FitColumns();
}

void TTableView::showEvent(QShowEvent* event) {
    AttachModel(true);
    QTableView::showEvent(event);
}

void TTableView::hideEvent(QHideEvent* event) {
    QTableView::hideEvent(event);
    // A minimised window keeps its table as it was.
    if (!event->spontaneous()) AttachModel(false);
}

void TTableView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // The cell edited, before the model may add the row a finished pair makes.
    const int row = currentIndex().row();
    const int column = currentIndex().column();
    const bool enter = editor && editor->property(kEnterPressed).toBool();
    QTableView::closeEditor(editor, hint);
    if (!enter || hint != QAbstractItemDelegate::SubmitModelCache || !FModel || !FModel->ManualEntry() ||
        row < 0)
        return;
    const auto numberCell = [this](int r, int c) {
        const QModelIndex index = FModel->index(r, c);
        return (FModel->flags(index) & Qt::ItemIsEditable) &&
               FModel->Columns()[static_cast<std::size_t>(c)].Kind != tTableModel::tKind::Label;
    };
    QModelIndex next;
    for (int c = column + 1; c < FModel->columnCount() && !next.isValid(); ++c)
        if (numberCell(row, c)) next = FModel->index(row, c);
    const int below = std::min(row + 1, FModel->rowCount() - 1);
    for (int c = 0; c < FModel->columnCount() && !next.isValid(); ++c)
        if (numberCell(below, c)) next = FModel->index(below, c);
    if (!next.isValid()) return;
    // Once the delegate has finished with the closed editor (a finished pair may have moved the
    // rows meanwhile; the index follows them).
    const QPersistentModelIndex target(next);
    QMetaObject::invokeMethod(
        this,
        [this, target] {
            if (!target.isValid() || state() == EditingState) return;
            setCurrentIndex(target);
            edit(target);
        },
        Qt::QueuedConnection);
}

void TTableView::FitColumns() {
    if (!FModel) return;
    // From the captions and a wide number, never from the rows (a million rows would be measured).
    const QFontMetrics metrics(font());
    const int number = metrics.horizontalAdvance(QStringLiteral("-00000,000")) + 16;
    for (int c = 0; c < FModel->columnCount(); ++c) {
        const int caption =
            horizontalHeader()->fontMetrics().horizontalAdvance(FModel->ColumnCaption(c)) + 24;
        setColumnWidth(c, std::max(caption, number));
    }
}

QString TTableView::SelectionText() const {
    if (!FModel || model() != FModel) return {};
    return SelectionTsv(*FModel, selectionModel()->selectedIndexes(), DecimalSeparator());
}

void TTableView::CopySelection() {
    const QString text = SelectionText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void TTableView::DeleteSelectedRows() {
    if (!FModel || !FModel->ManualEntry()) return;
    std::set<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        if (index.row() < FModel->PointRows()) rows.insert(index.row());
    // From the bottom up, so the rows still to remove keep their numbers.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) FModel->removeRows(*it, 1);
}

void TTableView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        return;
    }
    if (event->matches(QKeySequence::Delete) && FModel && FModel->ManualEntry() && state() != EditingState) {
        DeleteSelectedRows();
        return;
    }
    QTableView::keyPressEvent(event);
}

TTablePage::TTablePage(tLesson* lesson, const tExperiment& scenario, bool manual, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("tsData"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    if (manual) {
        auto* intro = new QLabel(tr("Впишите измеренные пары чисел в нижнюю строку (*): «%1» и «%2». "
                                    "Точки сразу появляются на графике.")
                                     .arg(scenario.CaptionX, scenario.CaptionY));
        intro->setObjectName(QStringLiteral("lbTableIntro"));
        intro->setWordWrap(true);
        layout->addWidget(intro);
    }
    FModel = new tTableModel(lesson, this);
    FModel->SetManualEntry(manual);
    FModel->SetAxes(scenario.CaptionX, scenario.CaptionY, scenario.FormatX, scenario.FormatY);
    FView = new TTableView;
    FView->SetTableModel(FModel);
    layout->addWidget(FView, 1);
    FHint = new QLabel;
    FHint->setObjectName(QStringLiteral("lbTableHint"));
    FHint->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    FHint->hide();
    layout->addWidget(FHint);
    connect(FView, &TTableView::CellHint, this, [this](const QString& hint) {
        FHint->setText(hint);
        FHint->setVisible(!hint.isEmpty());
    });
    if (manual) FView->setCurrentIndex(FModel->index(FModel->rowCount() - 1, 0));
}

void TTablePage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FView->setFocus(Qt::OtherFocusReason);
}
