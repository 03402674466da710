// SPDX-License-Identifier: GPL-3.0-or-later
// TMainStatusBar: the main window's status bar (stbMain) with its panels from the left — the
// action hints, the connected sensor (only while there is one), the silence of a running sensor (only while
// it lasts), the elapsed measurement time and the clock — the sizing rule of the last two and the clock's
// timer (tmTime). User-interface thread only.
#pragma once

#include <QStatusBar>

class QLabel;
class QTimer;

class TMainStatusBar : public QStatusBar {
    Q_OBJECT
  public:
    explicit TMainStatusBar(QWidget* parent = nullptr);

    QLabel* Hint;  // stbHint: action hints
    QLabel* Note;  // stbNote: «Автосохранение не удалось: …» while the autosave fails
    QLabel* Sensor;  // stbSensor: "Датчик T100 (/dev/ttyACM0)" while a sensor is connected
    QLabel* Silence;  // stbSilence: "Нет данных от датчика N с" while the sensor of a run is silent
    QLabel* Elapsed;     // stbElapsed: elapsed measurement time
    QLabel* Clock;       // stbClock: the time of day
    QTimer* ClockTimer;  // tmTime: every 1000 ms

    // The sizing rule for `font`: the clock and elapsed panels are 1.5 times their sample texts.
    static int ClockPanelWidth(const QFont& font);
    static int ElapsedPanelWidth(const QFont& font);
    // The clock tick: the locale's long time format, without a zone name.
    void ShowClock();
    // How long the running sensor has been silent (0: it is not, the panel goes).
    void ShowSilence(qint64 seconds);
    // A lasting note (empty: the panel goes).
    void ShowNote(const QString& note);
    // The connected sensor's model and port (an empty name: none, the panel goes).
    void ShowSensor(const QString& name, const QString& port);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void LayoutPanels();
};
