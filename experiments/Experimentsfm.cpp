// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Experimentsfm.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QResizeEvent>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Icons.h"
#include "foundation/Exceptions.h"
#include "foundation/Guard.h"
#include "foundation/Logfile.h"
#include "foundation/Stringtable.h"

namespace {
constexpr int IconRole = Qt::UserRole + 1;
constexpr int RootRole = Qt::UserRole + 2;    // on a source node: its index in the catalogue's roots
constexpr int SourceRole = Qt::UserRole + 3;  // true on the node of a further catalogue

// Long captions wrap within the tree's width instead of being cut: a row is as high as its caption
// needs. The text is laid out here in both the size and the painting, so the two always agree.
class tWrappingDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem o(option);
        initStyleOption(&o, index);
        const auto* view = qobject_cast<const QTreeView*>(option.widget);
        if (!view) return QStyledItemDelegate::sizeHint(option, index);
        int depth = view->rootIsDecorated() ? 1 : 0;
        for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) ++depth;
        const int width = std::max(1, view->viewport()->width() - depth * view->indentation());
        // A one-line row as the style makes it; more lines add their height, the padding stays.
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        o.rect = QRect(0, 0, width, size.height());
        const int textHeight = Layout(o, TextRect(o).width()).height();
        size.setWidth(width);
        size.setHeight(std::max(size.height(), size.height() + textHeight - QFontMetrics(o.font).height()));
        return size;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o(option);
        initStyleOption(&o, index);
        const QRect text = TextRect(o);
        const QString caption = o.text;
        o.text.clear();  // background, selection, focus and icon as the style draws them
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &o, painter, widget);
        const bool selected = o.state & QStyle::State_Selected;
        const QPalette::ColorGroup group = !(o.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : (o.state & QStyle::State_Active) ? QPalette::Active
                                                                              : QPalette::Inactive;
        painter->save();
        painter->setFont(o.font);
        painter->setPen(o.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, caption);
        painter->restore();
    }

  private:
    static QRect TextRect(const QStyleOptionViewItem& o) {
        const QWidget* widget = o.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        return style->subElementRect(QStyle::SE_ItemViewItemText, &o, widget);
    }
    static QSize Layout(const QStyleOptionViewItem& o, int width) {
        return QFontMetrics(o.font)
            .boundingRect(QRect(0, 0, std::max(1, width), 1 << 20), Qt::TextWordWrap, o.text)
            .size();
    }
};
}  // namespace

TfmExperiments::TfmExperiments(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("fmExperiments"));
    setWindowTitle(tr("Выбор эксперимента"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    FImages = experimenticons::TreeImages();

    acDescrShowHide = new QAction(experimenticons::Description(), tr("&Описание"), this);
    acDescrShowHide->setObjectName(QStringLiteral("acDescrShowHide"));
    acDescrShowHide->setToolTip(tr("Показать/скрыть описание эксперимента"));
    acDescrShowHide->setCheckable(true);
    acDescrShowHide->setChecked(true);

    acDescrCopy = new QAction(experimenticons::Copy(), tr("&Копировать"), this);
    acDescrCopy->setObjectName(QStringLiteral("acDescrCopy"));
    acDescrCopy->setToolTip(tr("Копировать описание эксперимента в буфер обмена"));
    acDescrCopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));

    acDescrPrint = new QAction(experimenticons::Print(), tr("&Печать..."), this);
    acDescrPrint->setObjectName(QStringLiteral("acDescrPrint"));
    acDescrPrint->setToolTip(tr("Печать описания эксперимента"));
    acDescrPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));

    acDescrSave = new QAction(experimenticons::Save(), QString(), this);
    acDescrSave->setObjectName(QStringLiteral("acDescrSave"));
    acDescrSave->setToolTip(tr("Сохранить описание эксперимента в файл"));
    acDescrSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));

    for (QAction* a : {acDescrShowHide, acDescrCopy, acDescrPrint, acDescrSave}) {
        a->setStatusTip(a->toolTip());
        addAction(a);  // shortcuts work wherever the focus is in the dialog
    }

    tlbMain = new QToolBar(this);
    tlbMain->setObjectName(QStringLiteral("tlbMain"));
    tlbMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tlbMain->setIconSize(QSize(24, 24));
    tlbMain->addAction(acDescrShowHide);
    tlbMain->addSeparator();
    tlbMain->addAction(acDescrCopy);
    tlbMain->addSeparator();
    tlbMain->addAction(acDescrPrint);
    tlbMain->addAction(acDescrSave);

    tvExperiments = new QTreeWidget;
    tvExperiments->setObjectName(QStringLiteral("tvExperiments"));
    tvExperiments->setAccessibleName(tr("Опыты"));
    tvExperiments->setHeaderHidden(true);
    tvExperiments->setColumnCount(1);
    tvExperiments->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvExperiments->setSelectionMode(QAbstractItemView::SingleSelection);
    // The selection stays visible when the focus moves to the description or the buttons.
    QPalette palette = tvExperiments->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    tvExperiments->setPalette(palette);
    // Every caption is shown whole: wrapped to the tree's width, never cut or scrolled sideways.
    tvExperiments->setItemDelegate(new tWrappingDelegate(tvExperiments));
    tvExperiments->setWordWrap(true);
    tvExperiments->setTextElideMode(Qt::ElideNone);
    tvExperiments->setUniformRowHeights(false);
    tvExperiments->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tvExperiments->viewport()->installEventFilter(this);

    reDescr = new TRichView;
    reDescr->setObjectName(QStringLiteral("reDescr"));
    reDescr->setAccessibleName(tr("Описание опыта"));
    reDescr->SetReadOnlyCopyable(true);

    sl = new QSplitter(Qt::Horizontal);
    sl->setObjectName(QStringLiteral("sl"));
    sl->setChildrenCollapsible(false);
    sl->addWidget(tvExperiments);
    sl->addWidget(reDescr);
    sl->setStretchFactor(0, 0);
    sl->setStretchFactor(1, 1);
    sl->setSizes({220, 268});

    bbOk = new QPushButton(QStringLiteral("OK"));
    bbOk->setObjectName(QStringLiteral("bbOk"));
    bbOk->setDefault(true);  // Enter presses OK
    bbCancel = new QPushButton(tr("Отмена"));
    bbCancel->setObjectName(QStringLiteral("bbCancel"));
    bbCancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(6, 6, 6, 6);
    buttons->addStretch(1);
    buttons->addWidget(bbOk);
    buttons->addWidget(bbCancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tlbMain);
    layout->addWidget(sl, 1);
    layout->addLayout(buttons);
    resize(510, 378);

    connect(acDescrShowHide, &QAction::toggled, this,
            [this](bool on) { RunGuarded([&] { ShowHideDescription(on); }); });
    connect(acDescrCopy, &QAction::triggered, this, [this] { RunGuarded([this] { CopyDescription(); }); });
    connect(acDescrPrint, &QAction::triggered, this, [this] { RunGuarded([this] { PrintDescription(); }); });
    connect(acDescrSave, &QAction::triggered, this, [this] { RunGuarded([this] { SaveDescription(); }); });
    connect(tvExperiments, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* n) { RunGuarded([&] { NodeExpanded(n); }); });
    connect(tvExperiments, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* n) { RunGuarded([&] { NodeCollapsed(n); }); });
    connect(tvExperiments, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* n) { RunGuarded([&] { SelectionMoved(n); }); });
    connect(sl, &QSplitter::splitterMoved, this, [this] { SplitterMoved(); });
    connect(reDescr, &QTextEdit::copyAvailable, this, &TfmExperiments::UpdateActions);
    connect(bbOk, &QPushButton::clicked, this, &TfmExperiments::OkClicked);
    connect(bbCancel, &QPushButton::clicked, this, &QDialog::reject);
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TfmExperiments::UpdateActions);

    AskPrinter = [this](QPrinter& printer) {
        QPrintDialog pd(&printer, this);
        pd.setObjectName(QStringLiteral("pd"));
        pd.setOptions(QAbstractPrintDialog::PrintSelection | QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCollateCopies);
        return pd.exec() == QDialog::Accepted;
    };
    AskSaveFileName = [this] {
        QFileDialog sdFile(this);
        sdFile.setObjectName(QStringLiteral("sdFile"));
        sdFile.setAcceptMode(QFileDialog::AcceptSave);
        sdFile.setFileMode(QFileDialog::AnyFile);
        sdFile.setNameFilters({tr("RTF-файлы (*.rtf)"), tr("Все файлы (*.*)")});
        sdFile.setDefaultSuffix(QStringLiteral("rtf"));
        sdFile.setOption(QFileDialog::ReadOnly, false);
        return sdFile.exec() == QDialog::Accepted && !sdFile.selectedFiles().isEmpty()
                   ? sdFile.selectedFiles().first()
                   : QString();
    };
    UpdateActions();
}

TfmExperiments::~TfmExperiments() = default;

// ---- catalogue on the disk ----

QStringList TfmExperiments::SortedSubFolders(const QString& folder) {
    return tCatalogue::SubFolders(folder);
}

bool TfmExperiments::HasSubFolder(const QString& folder) {
    return tCatalogue::HasSubFolder(folder);
}

bool TfmExperiments::IsSourceNode(const QTreeWidgetItem* node) {
    return node && node->data(0, SourceRole).toBool();
}

QString TfmExperiments::RootOf(const QTreeWidgetItem* node) const {
    const QTreeWidgetItem* top = node;
    while (top && top->parent()) top = top->parent();
    if (!IsSourceNode(top)) return FRoot;
    return FCatalogue.Roots().value(top->data(0, RootRole).toInt()).Path;
}

QString TfmExperiments::NodePath(const QTreeWidgetItem* node) const {
    QString relative;
    for (const QTreeWidgetItem* n = node; n && !IsSourceNode(n); n = n->parent())
        relative.prepend(n->text(0) + u'/');
    return RootOf(node) + relative;
}

// ---- nodes ----

bool TfmExperiments::HasChildrenFlag(const QTreeWidgetItem* node) {
    return node && node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
}

int TfmExperiments::IconIndex(const QTreeWidgetItem* node) {
    return node ? node->data(0, IconRole).toInt() : -1;
}

void TfmExperiments::SetHasChildren(QTreeWidgetItem* node, bool on) {
    node->setChildIndicatorPolicy(on ? QTreeWidgetItem::ShowIndicator
                                     : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TfmExperiments::SetIcon(QTreeWidgetItem* node) {
    const int index = IsSourceNode(node)      ? experimenticons::Catalogue
                      : HasChildrenFlag(node) ? experimenticons::Group
                                              : experimenticons::Scenario;
    node->setData(0, IconRole, index);
    node->setIcon(0, FImages.value(index));
}

QTreeWidgetItem* TfmExperiments::AddNode(QTreeWidgetItem* parent, const QString& name) {
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvExperiments);
    node->setText(0, name);
    node->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    SetHasChildren(node, HasSubFolder(NodePath(node)));
    SetIcon(node);
    return node;
}

void TfmExperiments::FillTree(const QString& root) {
    QString programRoot = root;
    if (!programRoot.isEmpty() && !programRoot.endsWith(u'/')) programRoot += u'/';
    FillTree(tCatalogue::ForProgram(programRoot));
}

void TfmExperiments::FillTree(const tCatalogue& catalogue) {
    FCatalogue = catalogue;
    const QList<tCatalogueRoot>& roots = FCatalogue.Roots();
    const bool programFirst = !roots.isEmpty() && roots[0].Source == tCatalogueRoot::Program;
    FRoot = programFirst ? roots[0].Path : QString();
    FInTreeChange = true;
    tvExperiments->clear();
    FInTreeChange = false;
    if (programFirst)
        for (const QString& name : SortedSubFolders(FRoot)) AddNode(nullptr, name);
    for (int r = programFirst ? 1 : 0; r < roots.size(); ++r) {
        // A further catalogue: one node that names its source, its folders below it.
        const tCatalogueRoot& root = roots[r];
        auto* node = new QTreeWidgetItem(tvExperiments);
        const bool reachable = QFileInfo(root.Path).isDir();
        node->setText(0, reachable ? root.Name : tr("%1 (нет доступа)").arg(root.Name));
        node->setToolTip(
            0, (root.Source == tCatalogueRoot::User ? tr("Ваши сценарии: %1") : tr("Сценарии школы: %1"))
                   .arg(QDir::toNativeSeparators(root.Path)));
        node->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        node->setData(0, RootRole, r);
        node->setData(0, SourceRole, true);
        SetHasChildren(node, HasSubFolder(root.Path));
        SetIcon(node);
    }
}

void TfmExperiments::NodeExpanded(QTreeWidgetItem* node) {
    if (FInTreeChange || !node) return;
    FInTreeChange = true;
    // Children are deleted on collapse; anything left would be listed twice.
    qDeleteAll(node->takeChildren());
    for (const QString& name : SortedSubFolders(NodePath(node))) AddNode(node, name);
    const bool added = node->childCount() > 0;
    SetHasChildren(node, added);
    SetIcon(node);
    if (!added) node->setExpanded(false);  // nothing to show: the expansion is refused
    FInTreeChange = false;
}

void TfmExperiments::NodeCollapsed(QTreeWidgetItem* node) {
    if (FInTreeChange || !node) return;
    FInTreeChange = true;
    QTreeWidgetItem* before = tvExperiments->currentItem();
    qDeleteAll(node->takeChildren());
    if (HasSubFolder(NodePath(node))) SetHasChildren(node, true);
    SetIcon(node);
    FInTreeChange = false;
    // A selected child went with its parent: whatever holds the selection now shows its description.
    if (tvExperiments->currentItem() != before) SelectionMoved(tvExperiments->currentItem());
}

void TfmExperiments::SelectionMoved(QTreeWidgetItem* node) {
    if (FInTreeChange) return;
    if (node) {
        SetHasChildren(node, HasSubFolder(NodePath(node)));
        SetIcon(node);
    }
    LoadDescription(node);
    UpdateActions();
}

void TfmExperiments::LoadDescription(QTreeWidgetItem* node) {
    if (node) {
        const QString path = NodePath(node) + QStringLiteral("descr.rtf");
        try {
            reDescr->LoadFromFile(path);
            return;
        } catch (const tException& e) {
            // Any failure (missing, unreadable, not RTF, too large) shows the placeholder instead;
            // the log keeps why a description that is there was not shown.
            if (QFile::exists(path)) LogAdd(e.Message());
        } catch (...) {
        }
    }
    reDescr->Clear();
    reDescr->SetParagraphCentered();
    reDescr->SetBold(true);
    for (int i = 0; i < 3; ++i) reDescr->AddLine(QStringLiteral(" "));
    reDescr->AddLine(LoadStr(msg::NoDescription));
}

// ---- OK, actions, pane ----

void TfmExperiments::OkClicked() {
    QTreeWidgetItem* node = tvExperiments->currentItem();
    if (!node || !node->isSelected()) return;
    if (!HasChildrenFlag(node)) {
        if (!IsSourceNode(node)) accept();  // a catalogue is never a scenario, even an empty one
        return;
    }
    if (!node->isExpanded()) node->setExpanded(true);
}

void TfmExperiments::OpenAt(const QString& folder) {
    tCatalogueEntry entry;
    if (!FCatalogue.Locate(folder, entry)) return;
    // The program's catalogue fills the first level; a further one stands below its source node.
    QTreeWidgetItem* found = nullptr;
    if (entry.Root != FRoot) {
        for (int i = 0; i < tvExperiments->topLevelItemCount() && !found; ++i) {
            QTreeWidgetItem* top = tvExperiments->topLevelItem(i);
            if (IsSourceNode(top) && RootOf(top) == entry.Root) found = top;
        }
        if (!found) return;
    }
    for (const QString& name : entry.Relative.split(u'/', Qt::SkipEmptyParts)) {
        if (found) found->setExpanded(true);  // reads the level below from the disk
        QTreeWidgetItem* next = nullptr;
        const int count = found ? found->childCount() : tvExperiments->topLevelItemCount();
        for (int i = 0; i < count && !next; ++i) {
            QTreeWidgetItem* node = found ? found->child(i) : tvExperiments->topLevelItem(i);
            if (!IsSourceNode(node) && node->text(0) == name) next = node;
        }
        if (!next) break;  // gone from the disk: the nearest group that is still there
        found = next;
    }
    if (!found) return;
    tvExperiments->setCurrentItem(found);
    tvExperiments->scrollToItem(found, QAbstractItemView::PositionAtCenter);
}

bool TfmExperiments::eventFilter(QObject* watched, QEvent* event) {
    // Wrapped captions take the height of the new width.
    if (watched == tvExperiments->viewport() && event->type() == QEvent::Resize &&
        static_cast<QResizeEvent*>(event)->size().width() !=
            static_cast<QResizeEvent*>(event)->oldSize().width())
        tvExperiments->doItemsLayout();
    return QDialog::eventFilter(watched, event);
}

bool TfmExperiments::LoadScenario(tExperiment* record) {
    if (!record) return true;
    QTreeWidgetItem* node = tvExperiments->currentItem();
    if (!node) return true;
    if (IsSourceNode(node)) return false;
    const QString root = RootOf(node);
    return ::LoadScenario(node->text(0), NodePath(node).mid(root.size()), root, record);
}

bool TfmExperiments::PaneShown() const {
    return acDescrShowHide->isChecked() && !reDescr->isHidden();
}

void TfmExperiments::UpdateActions() {
    const bool shown = PaneShown();
    acDescrCopy->setEnabled(shown && reDescr->HasSelection());
    acDescrPrint->setEnabled(shown);
    acDescrSave->setEnabled(shown);
}

void TfmExperiments::ShowHideDescription(bool shown) {
    const int w = tvExperiments->width();
    if (!shown && w > 0) FRatio = double(reDescr->width()) / w;
    reDescr->setVisible(shown);
    if (shown) {
        // The tree took the whole width while the pane was hidden; give the pane its share back
        // (of what is left beside the splitter's handle, so the proportion returns exactly).
        const int room = std::max(0, w - sl->handleWidth());
        const int descr = int(room * FRatio / (FRatio + 1));
        sl->setSizes({room - descr, descr});
    }
    UpdateActions();
}

void TfmExperiments::SplitterMoved() {
    const int w = tvExperiments->width();
    if (w > 0 && !reDescr->isHidden()) FRatio = double(reDescr->width()) / w;
    reDescr->update();
}

void TfmExperiments::CopyDescription() {
    if (PaneShown() && reDescr->HasSelection()) reDescr->CopySelection();
}

void TfmExperiments::PrintDescription() {
    if (!PaneShown() || !AskPrinter) return;
    QPrinter printer;
    if (!AskPrinter(printer)) return;
    QTreeWidgetItem* node = tvExperiments->currentItem();
    reDescr->Print(printer, node ? node->text(0) : QString());
}

void TfmExperiments::SaveDescription() {
    if (!PaneShown() || !AskSaveFileName) return;
    const QString name = AskSaveFileName();
    if (!name.isEmpty()) reDescr->SaveToFile(name);
}
