// SPDX-License-Identifier: GPL-3.0-or-later
// TfmExperiments: the modal chooser in which the user browses the scenario catalogue as a tree,
// reads each entry's description beside it and picks one scenario. The tree is read from the disk
// lazily (a level when its parent expands), and a node's group/scenario status is read again before
// it is selected, when it expands and after it collapses, so catalogue changes made while the
// dialog is open show up without a refresh. Folders are listed by name (see SortedSubFolders).
// The program's catalogue fills the tree's first level; every further catalogue (the school's
// scenarios on a share, a teacher's own) follows as one node named after its source, with its
// folders below it.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "experiments/Catalogue.h"

class QAction;
class QPrinter;
class QPushButton;
class QSplitter;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TRichView;
class tExperiment;

class TfmExperiments : public QDialog {
    Q_OBJECT
  public:
    explicit TfmExperiments(QWidget* owner = nullptr);
    ~TfmExperiments() override;

    // Stores the catalogue root (a trailing '/' is added when missing), clears the tree and lists
    // the root's folders, then the further catalogues of the school settings.
    void FillTree(const QString& root);
    // The same for the given catalogues: the first root's folders on the first level when it is
    // the program's, a source node for every other root.
    void FillTree(const tCatalogue& catalogue);
    // Opens the tree at the scenario in `folder` (a folder below one of the catalogues, such as the
    // open scenario's Path): its groups are expanded level by level, and it is selected (its
    // description shown) and scrolled into view. A folder that is gone opens at the nearest group
    // that is still there; one outside the catalogues changes nothing.
    void OpenAt(const QString& folder);
    // Fills `record` from the selected node (after an OK result); reports its own failures. False
    // when the scenario was refused as a whole (record untouched, see ::LoadScenario).
    bool LoadScenario(tExperiment* record);

    QString Root() const { return FRoot; }
    const tCatalogue& Catalogue() const { return FCatalogue; }
    // Catalogue folder of a node: its catalogue's root + captions from the top level (below a
    // source node) down, each followed by '/'.
    QString NodePath(const QTreeWidgetItem* node) const;
    // The root of the catalogue a node belongs to.
    QString RootOf(const QTreeWidgetItem* node) const;
    // True for the node that stands for a further catalogue.
    static bool IsSourceNode(const QTreeWidgetItem* node);
    // True when the node shows an expand button (a group).
    static bool HasChildrenFlag(const QTreeWidgetItem* node);
    // Index of the node's image in the tree's image list (0 group, 2 scenario, 3 a further catalogue).
    static int IconIndex(const QTreeWidgetItem* node);
    double DescriptionRatio() const { return FRatio; }

    // The sub-folders of `folder` that the catalogue counts (no hidden ones), in name order:
    // case-insensitive, numbers in numeric order ("2" before "10"), so a teacher orders entries
    // by prefixing "1.", "2.", ...
    static QStringList SortedSubFolders(const QString& folder);
    // True as soon as `folder` holds one counted sub-folder.
    static bool HasSubFolder(const QString& folder);

    // Test seams: the printer question (true = print) and the file-name question (empty = cancel).
    std::function<bool(QPrinter&)> AskPrinter;
    std::function<QString()> AskSaveFileName;

    QTreeWidget* Tree() const { return tvExperiments; }
    TRichView* Description() const { return reDescr; }
    QSplitter* Splitter() const { return sl; }

  public slots:
    // Re-evaluates the enabling rules of the toolbar actions (also run whenever the loop goes idle).
    void UpdateActions();
    // The OK button: closes with OK on a scenario, expands a group, ignores an empty selection.
    void OkClicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SetIcon(QTreeWidgetItem* node);
    void SetHasChildren(QTreeWidgetItem* node, bool on);
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& name);
    void NodeExpanded(QTreeWidgetItem* node);
    void NodeCollapsed(QTreeWidgetItem* node);
    void SelectionMoved(QTreeWidgetItem* node);
    void LoadDescription(QTreeWidgetItem* node);
    void ShowHideDescription(bool shown);
    void SplitterMoved();
    void CopyDescription();
    void PrintDescription();
    void SaveDescription();
    bool PaneShown() const;

    QString FRoot;
    tCatalogue FCatalogue;
    double FRatio = 1.0;  // description width / tree width, kept while the pane is hidden
    QList<QIcon> FImages;
    bool FInTreeChange = false;  // our own expand/collapse calls must not re-enter the handlers

    QToolBar* tlbMain;
    QAction* acDescrShowHide;
    QAction* acDescrCopy;
    QAction* acDescrPrint;
    QAction* acDescrSave;
    QTreeWidget* tvExperiments;
    QSplitter* sl;
    TRichView* reDescr;
    QPushButton* bbOk;
    QPushButton* bbCancel;
};
