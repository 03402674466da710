// SPDX-License-Identifier: GPL-3.0-or-later
// The milestones of a lesson in the log, in words: what the user did and what came of it (a
// scenario chosen, a sensor connected, a run started and stopped, a label, an export, a lesson
// saved, opened or recovered, a message box shown). Each line starts with MilestoneMark, so
// `grep ' == '` gives the story of a lesson without the protocol dumps around it. The texts are
// built here, once, for the window and the session alike. Stateless; any thread.
#pragma once

#include <QDateTime>
#include <QString>

#include "foundation/Transport.h"

namespace milestone {
// Begins every milestone text (after the log's time stamp and its blank).
inline constexpr char16_t MilestoneMark[] = u"== ";

// "Выбран опыт «<name>» (<folder>)".
QString ScenarioChosen(const QString& name, const QString& folder);
// How a sensor is reached, in words: "FTDI", "последовательный порт", "HID".
QString TransportName(tTransport transport);
// "Датчик <sensor> подключён: <port> (<transport>), поиск 5,2 с".
QString SensorConnected(const QString& sensor, const QString& port, tTransport transport, qint64 searchMs);
// "Датчик <sensor> не найден, поиск 5,2 с".
QString SensorNotFound(const QString& sensor, qint64 searchMs);
// "Опыт 2 начат" / "Опыт 2 остановлен: 123 точки за 12,3 с".
QString RunStarted(int run);
QString RunStopped(int run, qint64 points, double seconds);
// "Метка «<label>» на точке 17 опыта 2 (t = 1,7 с)"; the index counts from 1 as the table does.
QString PointLabelled(int run, qint64 index, double seconds, const QString& label);
// "Экспорт (<what>): <path>", e.g. what = "график", "отчёт", "таблица".
QString Exported(const QString& what, const QString& path);
// "Урок сохранён: <path>" / "Урок открыт: <path>".
QString LessonSaved(const QString& path);
QString LessonOpened(const QString& path);
// "Урок восстановлен из автосохранения от 04.03.2026 09:15:30 (<origin or «без файла»>)".
QString LessonRecovered(const QString& origin, const QDateTime& autosaved);
// "Сообщение «<title>»: <text>", its lines joined by " / " (empty ones left out): one log line.
QString BoxShown(const QString& title, const QString& text);

// "123 точки", "1 точка", "5 точек": a count with the noun's Russian form for it.
QString Count(qint64 n, const QString& one, const QString& few, const QString& many);
// Seconds with one decimal and the locale's separator: "12,3 с".
QString Seconds(double seconds);
}  // namespace milestone

// Adds MilestoneMark + text to the program log (nothing when the log is off).
void LogMilestone(const QString& text);
