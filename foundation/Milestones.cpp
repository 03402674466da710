// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Milestones.h"

#include <QCoreApplication>
#include <cmath>

#include "foundation/Functions.h"
#include "foundation/Logfile.h"

// The milestones are lines of the program log, read by whoever looks after the computers: they stay
// in the program's own language. The name of a transport is also shown in the program's details.
namespace milestone {

QString Count(qint64 n, const QString& one, const QString& few, const QString& many) {
    const qint64 last2 = std::llabs(n) % 100;
    const qint64 last = last2 % 10;
    const QString& noun = last2 >= 11 && last2 <= 14 ? many
                          : last == 1                ? one
                          : last >= 2 && last <= 4   ? few
                                                     : many;
    return QString::number(n) + u' ' + noun;
}

QString Seconds(double seconds) {
    // untranslated: a log line
    return FormatFloat(QStringLiteral("0.0"), seconds) + QStringLiteral(" с");
}

QString ScenarioChosen(const QString& name, const QString& folder) {
    // untranslated: a log line
    return QStringLiteral("Выбран опыт «%1» (%2)").arg(name, folder);
}

QString TransportName(tTransport transport) {
    return transport == tTransport::Ftdi ? QStringLiteral("FTDI")
           : transport == tTransport::Serial
               ? QCoreApplication::translate("Milestones", "последовательный порт")
               : QStringLiteral("HID");
}

QString SensorConnected(const QString& sensor, const QString& port, tTransport transport, qint64 searchMs) {
    // untranslated: a log line
    return QStringLiteral("Датчик %1 подключён: %2 (%3), поиск %4")
        .arg(sensor, port, TransportName(transport), Seconds(searchMs / 1000.0));
}

QString SensorNotFound(const QString& sensor, qint64 searchMs) {
    // untranslated: a log line
    return QStringLiteral("Датчик %1 не найден, поиск %2").arg(sensor, Seconds(searchMs / 1000.0));
}

QString RunStarted(int run) {
    // untranslated: a log line
    return QStringLiteral("Опыт %1 начат").arg(run);
}

QString RunStopped(int run, qint64 points, double seconds) {
    // untranslated: a log line
    return QStringLiteral("Опыт %1 остановлен: %2 за %3")
        .arg(run)
        // untranslated: a log line
        .arg(Count(points, QStringLiteral("точка"), QStringLiteral("точки"), QStringLiteral("точек")),
             Seconds(seconds));
}

QString PointLabelled(int run, qint64 index, double seconds, const QString& label) {
    // One arg() call: a label holding "%1" stays as typed.
    // untranslated: a log line
    return QStringLiteral("Метка «%1» на точке %2 опыта %3 (t = %4)")
        .arg(label, QString::number(index), QString::number(run), Seconds(seconds));
}

QString Exported(const QString& what, const QString& path) {
    // untranslated: a log line
    return QStringLiteral("Экспорт (%1): %2").arg(what, path);
}

QString LessonSaved(const QString& path) {
    // untranslated: a log line
    return QStringLiteral("Урок сохранён: ") + path;
}

QString LessonOpened(const QString& path) {
    // untranslated: a log line
    return QStringLiteral("Урок открыт: ") + path;
}

QString LessonRecovered(const QString& origin, const QDateTime& autosaved) {
    // untranslated: a log line
    return QStringLiteral("Урок восстановлен из автосохранения от %1 (%2)")
        .arg(autosaved.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
             // untranslated: a log line
             origin.isEmpty() ? QStringLiteral("без файла") : origin);
}

QString BoxShown(const QString& title, const QString& text) {
    QStringList lines = SplitLines(text);
    lines.removeIf([](const QString& line) { return line.trimmed().isEmpty(); });
    // untranslated: a log line
    return QStringLiteral("Сообщение «%1»: %2").arg(title, lines.join(QStringLiteral(" / ")));
}

}  // namespace milestone

void LogMilestone(const QString& text) {
    LogAdd(QString::fromUtf16(milestone::MilestoneMark) + text);
}
