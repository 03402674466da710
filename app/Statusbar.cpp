// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Statusbar.h"

#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QTime>
#include <QTimer>
#include <cmath>

#include "foundation/Guard.h"

TMainStatusBar::TMainStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("stbMain"));
    setSizeGripEnabled(false);
    auto panel = [this](const char* name, Qt::Alignment alignment) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setAlignment(alignment | Qt::AlignVCenter);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return label;
    };
    Hint = panel("stbHint", Qt::AlignLeft);
    Hint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Note = panel("stbNote", Qt::AlignHCenter);
    Note->hide();
    Sensor = panel("stbSensor", Qt::AlignHCenter);
    Sensor->hide();
    Silence = panel("stbSilence", Qt::AlignHCenter);
    Silence->hide();
    Elapsed = panel("stbElapsed", Qt::AlignHCenter);
    Clock = panel("stbClock", Qt::AlignHCenter);
    addWidget(Hint, 1);
    addPermanentWidget(Note);
    addPermanentWidget(Sensor);
    addPermanentWidget(Silence);
    addPermanentWidget(Elapsed);
    addPermanentWidget(Clock);
    LayoutPanels();

    ClockTimer = new QTimer(this);
    ClockTimer->setObjectName(QStringLiteral("tmTime"));
    ClockTimer->setInterval(1000);
    connect(ClockTimer, &QTimer::timeout, this, [this] { RunGuarded([this] { ShowClock(); }); });
    ClockTimer->start();
    ShowClock();
}

int TMainStatusBar::ClockPanelWidth(const QFont& font) {
    return static_cast<int>(
        std::trunc(QFontMetrics(font).horizontalAdvance(QStringLiteral(" 88:88:88 ")) * 1.5));
}

int TMainStatusBar::ElapsedPanelWidth(const QFont& font) {
    return static_cast<int>(
        std::trunc(QFontMetrics(font).horizontalAdvance(QStringLiteral(" 888:88.88 ")) * 1.5));
}

void TMainStatusBar::LayoutPanels() {
    Clock->setFixedWidth(ClockPanelWidth(font()));
    Elapsed->setFixedWidth(ElapsedPanelWidth(font()));
    // The hint panel takes what is left; the layout's own margins come off it.
    Hint->setMinimumWidth(0);
}

void TMainStatusBar::ShowClock() {
    // The long format of a Qt locale ends in a zone name, which the panel has no room for.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t')).replace(QStringLiteral("  "), QStringLiteral(" "));
    Clock->setText(QLocale::system().toString(QTime::currentTime(), format.trimmed()));
}

void TMainStatusBar::ShowSilence(qint64 seconds) {
    if (seconds > 0) Silence->setText(tr("Нет данных от датчика %1 с").arg(seconds));
    Silence->setVisible(seconds > 0);
}

void TMainStatusBar::ShowNote(const QString& note) {
    Note->setText(note);
    Note->setVisible(!note.isEmpty());
}

void TMainStatusBar::ShowSensor(const QString& name, const QString& port) {
    if (!name.isEmpty()) Sensor->setText(tr(" Датчик %1 (%2) ").arg(name, port));
    Sensor->setVisible(!name.isEmpty());
}

void TMainStatusBar::resizeEvent(QResizeEvent* event) {
    LayoutPanels();
    QStatusBar::resizeEvent(event);
}

void TMainStatusBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) LayoutPanels();
    QStatusBar::changeEvent(event);
}
