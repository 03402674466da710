// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Chartaccessible.h"

#include <qcustomplot.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <QPointer>

#include "components/Chart.h"
#include "components/Contrast.h"

namespace {

class TChartAccessible : public QAccessibleWidget {
  public:
    explicit TChartAccessible(TChart* chart) : QAccessibleWidget(chart, QAccessible::Chart) {}

    // The plot and its layers are one picture to a reader; the words are in name and description.
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text kind) const override {
        auto* chart = static_cast<TChart*>(widget());
        if (kind == QAccessible::Name && chart->accessibleName().isEmpty()) return DefaultChartName(chart);
        if (kind == QAccessible::Description) return chart->accessibleDescription();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* ChartFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("TChart")) return nullptr;
    auto* chart = qobject_cast<TChart*>(object);
    return chart ? new TChartAccessible(chart) : nullptr;
}

// A frame of two pixels just inside the chart's edge while the chart has the focus. A child above
// the plot that lets the mouse through, so pictures of the chart (ToImage, print) never show it.
class TFocusFrame : public QWidget {
  public:
    explicit TFocusFrame(TChart* chart) : QWidget(chart), FChart(chart) {
        setObjectName(QStringLiteral("focusFrame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        chart->installEventFilter(this);
        setGeometry(chart->rect());
        hide();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == FChart) {
            switch (event->type()) {
                case QEvent::Resize:
                    setGeometry(FChart->rect());
                    break;
                case QEvent::FocusIn:
                    raise();
                    show();
                    break;
                case QEvent::FocusOut:
                    hide();
                    break;
                default:
                    break;
            }
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QPen(FocusColour(), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }

  private:
    QPointer<TChart> FChart;
};

}  // namespace

void InstallChartAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(ChartFactory);
        return true;
    }();
    (void)installed;
}

QString DefaultChartName(TChart* chart) {
    const QString title = chart->LeftAxis().Title();
    return title.isEmpty() ? QCoreApplication::translate("Chartaccessible", "График")
                           : QCoreApplication::translate("Chartaccessible", "График: %1").arg(title);
}

void MakeChartFocusable(TChart* chart) {
    if (chart->findChild<QWidget*>(QStringLiteral("focusFrame"), Qt::FindDirectChildrenOnly)) return;
    chart->setFocusPolicy(Qt::StrongFocus);
    // A click on the plot gives the focus to the chart itself, where its keys are read.
    chart->Plot()->setFocusPolicy(Qt::NoFocus);
    new TFocusFrame(chart);
}
