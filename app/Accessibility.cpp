// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Accessibility.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "analysis/Runsummary.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Tableview.h"
#include "lesson/Lesson.h"
#include "lesson/Run.h"

namespace {
// A screen reader reads a changed description aloud: once a second is as often as a pupil can
// follow, and the summaries cost next to nothing at that rate.
constexpr int kDescriptionPeriodMs = 1000;

void Name(QWidget* widget, const QString& name) {
    if (widget && widget->accessibleName().isEmpty()) widget->setAccessibleName(name);
}

// The program's style with menu and menu bar items at least a click target high: the style's own
// 22 px rows would be the only targets under the size, and some menu items (the border between the
// pulse charts) stand in for dragging.
class tTargetStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                           const QWidget* widget) const override {
        QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        const bool target = (type == CT_MenuItem || type == CT_MenuBarItem) && item &&
                            item->menuItemType != QStyleOptionMenuItem::Separator;
        if (target) size.setHeight(std::max(size.height(), kMinimumTarget));
        return size;
    }
};
}  // namespace

void EnsureTargetSize(QWidget* widget) {
    const QSize minimum = widget->minimumSize();
    widget->setMinimumSize(std::max(minimum.width(), kMinimumTarget),
                           std::max(minimum.height(), kMinimumTarget));
}

tWindowAccessibility::tWindowAccessibility(QWidget* window) : QObject(window), FTimer(new QTimer(this)) {
    FTimer->setInterval(kDescriptionPeriodMs);
    connect(FTimer, &QTimer::timeout, this, &tWindowAccessibility::Refresh);
    Name(window->findChild<QToolBar*>(QStringLiteral("tlbMain")), tr("Панель инструментов"));
    Name(window->findChild<QToolBar*>(QStringLiteral("tlbExit")), tr("Выход из программы"));
    if (!dynamic_cast<tTargetStyle*>(QApplication::style()))
        QApplication::setStyle(new tTargetStyle(QStyleFactory::create(QApplication::style()->name())));
    // Every button of the program, in this window and in every dialog, is seen once before it first
    // shows: that is where it gets its size and, when it shows only an icon, a name.
    qApp->installEventFilter(this);
}

bool tWindowAccessibility::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Polish || !watched->isWidgetType()) return false;
    if (auto* button = qobject_cast<QAbstractButton*>(watched)) {
        EnsureTargetSize(button);
        // An icon alone says nothing to a screen reader: its action's words or its tooltip do.
        if (button->accessibleName().isEmpty() && button->text().isEmpty()) {
            auto* tool = qobject_cast<QToolButton*>(button);
            QString name =
                tool && tool->defaultAction() ? tool->defaultAction()->toolTip() : button->toolTip();
            button->setAccessibleName(name.remove(QLatin1Char('&')));
        }
    } else if (auto* combo = qobject_cast<QComboBox*>(watched)) {
        EnsureTargetSize(combo);
    }
    return false;
}

tWindowAccessibility::~tWindowAccessibility() = default;

void tWindowAccessibility::Attach(TfrExperiment* frame, const tExperiment* scenario, tLesson* lesson) {
    FFrame = frame;
    FScenario = scenario;
    FLesson = lesson;
    if (!frame || !scenario) {
        FTimer->stop();
        return;
    }
    Name(frame->Pages(), tr("Страницы опыта"));
    Name(frame->DescrView(), tr("Описание"));
    Name(frame->ReportView(), tr("Отчет"));
    if (auto* table = frame->findChild<TTablePage*>()) Name(table->View(), tr("Таблица"));
    if (auto* bar = frame->findChild<QToolBar*>(QStringLiteral("tlbReport"))) Name(bar, tr("Панель отчета"));
    Refresh();
    FTimer->start();
}

QString tWindowAccessibility::ChartDescription(TChart* chart) const {
    if (!FFrame || !FScenario || !chart) return {};
    const tSummaryAxes axes{chart->BottomAxis().Title(), chart->LeftAxis().Title(), FScenario->FormatX,
                            FScenario->FormatY};
    QStringList sentences;
    for (int slot = 0; slot < chart->SeriesCount(); ++slot) {
        const tRun* run = chart->Series(slot)->Run();
        if (!run || run->IsEmpty()) continue;
        // A derived curve (the heart rate) bears the number of the run it was derived from.
        int index = FLesson ? FLesson->IndexOf(run) : -1;
        if (index < 0 && FLesson && slot < tLesson::SeriesSlots)
            index = FLesson->IndexOf(FLesson->SeriesRun(slot));
        sentences << RunSummary(*run, index >= 0 ? index + 1 : slot + 1, axes);
    }
    if (sentences.isEmpty()) sentences << tr("Измерений нет");
    const QString markers = FFrame->GetMarkerText(FScenario->FormatX, FScenario->FormatY, chart);
    if (!markers.isEmpty())
        sentences << tr("Маркеры: %1").arg(QString(markers).replace(u'\t', QStringLiteral(", ")));
    return sentences.join(QStringLiteral(". ")) + u'.';
}

void tWindowAccessibility::Refresh() {
    if (!FFrame) {
        FTimer->stop();
        return;
    }
    for (TChart* chart : FFrame->Charts()) {
        const QString description = ChartDescription(chart);
        // Setting the same text again would have the reader repeat it.
        if (description != chart->accessibleDescription()) chart->setAccessibleDescription(description);
    }
}
