// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Mainactions.h"

#include <QAction>
#include <QKeySequence>

#include "app/Icons.h"

namespace {
QAction* NewAction(QObject* owner, const char* name, const char* category, const QString& caption,
                   const QString& hint, int icon = -1) {
    auto* action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    action->setProperty("category", QString::fromLatin1(category));
    action->setStatusTip(hint);
    action->setToolTip(hint);
    if (icon >= 0) action->setIcon(MainIcon(icon));
    return action;
}

// A shortcut of our own on an action: the menu shows it, and so does the tool button's tooltip
// (the status bar hint stays as it is).
void AddShortcut(QAction* action, const QKeySequence& key) {
    action->setShortcut(key);
    action->setToolTip(action->toolTip() + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) +
                       u')');
}
}  // namespace

void tMainActions::CreateActions(QObject* owner) {
    acFileOpenLesson = NewAction(owner, "acFileOpenLesson", "File", tr("&Открыть урок..."),
                                 tr("Открыть сохранённый урок: графики, метки, описание и отчёт"));
    acFileOpenLesson->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    acFileSaveLesson = NewAction(owner, "acFileSaveLesson", "File", tr("&Сохранить урок"),
                                 tr("Сохранить урок: все опыты, метки, описание и отчёт"));
    acFileSaveLesson->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    acFileSaveLessonAs = NewAction(owner, "acFileSaveLessonAs", "File", tr("Сохранить урок &как..."),
                                   tr("Сохранить урок в другой файл"));
    acExperimentRuns = NewAction(owner, "acExperimentRuns", "Experiment", tr("&Опыты урока..."),
                                 tr("Выбрать, какие опыты показывают два графика"));

    acFileExit = NewAction(owner, "acFileExit", "File", tr("&Выход..."), tr("Выйти из программы"), icExit);
    // Alt+Ч is the same key as Alt+X on a Russian layout.
    const QChar russianX = u'Ч';  // untranslated: a key of the Russian keyboard layout, not a text
    acFileExit->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_X), QKeySequence(Qt::ALT | russianX.unicode())});
    acHelpAbout = NewAction(owner, "acHelpAbout", "Help", tr("&О программе..."),
                            tr("Вывести информацию о программе, разработчике и авторских правах"), icAbout);
    acHelpAbout->setEnabled(false);
    acViewToolBar = NewAction(owner, "acViewToolBar", "View", tr("&Панель инструментов"),
                              tr("Показать/спрятать панель инструментов"));
    acViewToolBar->setCheckable(true);
    acViewToolBar->setChecked(true);
    acViewStatusBar = NewAction(owner, "acViewStatusBar", "View", tr("&Строка состояния"),
                                tr("Позазать/спрятать строку состояния"));
    acViewStatusBar->setCheckable(true);
    acViewStatusBar->setChecked(true);
    acExperimentConnect = NewAction(owner, "acExperimentConnect", "Experiment", tr("&Подключение"),
                                    tr("Найти датчики и подключиться к ним"), icConnect);
    acExperimentConnect->setCheckable(true);
    acExperimentChoose = NewAction(owner, "acExperimentChoose", "Experiment", tr("&Выбор эксперимента..."),
                                   tr("Выбрать сценарий для проведения эксперимента"), icChoose);
    acExperimentStart =
        NewAction(owner, "acExperimentStart", "Experiment", tr("&Пуск"), tr("Запустить измерения"), icStart);
    acExperimentStop =
        NewAction(owner, "acExperimentStop", "Experiment", tr("&Стоп"), tr("Остановить измерения"), icStop);
    AddShortcut(acExperimentStart, QKeySequence(Qt::Key_F5));
    AddShortcut(acExperimentStop, QKeySequence(Qt::SHIFT | Qt::Key_F5));
    acExperimentMarkPoint = NewAction(owner, "acExperimentMarkPoint", "Experiment", tr("&Отметить точку...."),
                                      tr("Отметить точку на графике"), icMark);
    acExperimentMarkPoint->setCheckable(true);
    AddShortcut(acExperimentMarkPoint, QKeySequence(Qt::CTRL | Qt::Key_M));
    acFileExport = NewAction(owner, "acFileExport", "File", tr("&Экспорт..."),
                             tr("Экспортировать данные во внешний файл"), icExport);
    acFilePrint = NewAction(owner, "acFilePrint", "File", tr("&Печать..."),
                            tr("Напечатать содержимое текущей вкладки"), icPrint);
    acFilePrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    acFilePrintSetup = NewAction(owner, "acFilePrintSetup", "File", tr("Параметры печати..."),
                                 tr("Изменить настройки печати"));
    acFilePageSetup = NewAction(owner, "acFilePageSetup", "File", tr("Параметры страницы..."),
                                tr("Изменить настройки страницы"));
    acFileAddImage = NewAction(owner, "acFileAddImage", "File", tr("&Добавить изображение..."),
                               tr("&Добавить изображение из файла"), icAddImage);
    acFilePreview = NewAction(owner, "acFilePreview", "File", tr("Предварительный просмотр..."),
                              tr("Показать, как будет напечатана текущая вкладка"));
    acFileSavePdf = NewAction(owner, "acFileSavePdf", "File", tr("Сохранить в PDF..."),
                              tr("Сохранить текущую вкладку в файл PDF, как при печати"));

    acViewShowAll = NewAction(owner, "acViewShowAll", "View", tr("Показать &все"),
                              tr("Показать на графике все точки опытов"));
    acViewShowAll->setShortcut(QKeySequence(Qt::Key_Home));
    acViewProjector = NewAction(owner, "acViewProjector", "View", tr("Режим &проектора"),
                                tr("Крупные надписи и толстые линии для показа на экране класса"));
    acViewProjector->setCheckable(true);
    // The border between the pulse charts, moved by a click as by its keys (no dragging needed).
    acViewPulseTaller = NewAction(owner, "acViewPulseTaller", "View", tr("График частоты в&ыше"),
                                  tr("Поднять границу между графиками: график частоты станет выше"));
    acViewPulseShorter = NewAction(owner, "acViewPulseShorter", "View", tr("График частоты н&иже"),
                                   tr("Опустить границу между графиками: график частоты станет ниже"));
    acExperimentInsertChart =
        NewAction(owner, "acExperimentInsertChart", "Experiment", tr("Вставить &график в отчет"),
                  tr("Вставить график с показаниями маркеров в отчет"));

    acExperimentFit =
        NewAction(owner, "acExperimentFit", "Experiment", tr("Подобрать &формулу..."),
                  tr("Подобрать формулу к точкам между маркерами (без маркеров — ко всему опыту)"));
    acExperimentSlope =
        NewAction(owner, "acExperimentSlope", "Experiment", tr("&Наклон"),
                  tr("Провести касательную в первом маркере и узнать, как быстро меняется величина"));
    acExperimentArea = NewAction(owner, "acExperimentArea", "Experiment", tr("П&лощадь"),
                                 tr("Закрасить и сосчитать площадь под кривой между маркерами"));
    acExperimentDrawPrediction =
        NewAction(owner, "acExperimentDrawPrediction", "Experiment", tr("Нарисовать п&рогноз"),
                  tr("Нарисовать мышью, какой получится кривая, ещё до опыта"));
    acExperimentDrawPrediction->setCheckable(true);
    acExperimentTypePrediction =
        NewAction(owner, "acExperimentTypePrediction", "Experiment", tr("Ввести прогноз..."),
                  tr("Ввести точки ожидаемой кривой числами"));
    acHelpGuide = NewAction(owner, "acHelpGuide", "Help", tr("&Руководство пользователя"),
                            tr("Открыть руководство на странице того, что сейчас на экране"));
    AddShortcut(acHelpGuide, QKeySequence(Qt::Key_F1));
    acHelpInfo =
        NewAction(owner, "acHelpInfo", "Help", tr("&Сведения о программе..."),
                  tr("Версия, лицензия, где лежат журнал, настройки и автосохранение, найденный датчик"));
    acFileHandIn = NewAction(owner, "acFileHandIn", "File", tr("Сдать &работу..."),
                             tr("Сдать урок, отчёт и измерения в папку класса"));
}

QList<QAction*> tMainActions::Actions() const {
    return {acFileExit,
            acHelpAbout,
            acViewToolBar,
            acViewStatusBar,
            acExperimentConnect,
            acExperimentChoose,
            acExperimentStart,
            acExperimentStop,
            acExperimentMarkPoint,
            acFileExport,
            acFilePrint,
            acFilePrintSetup,
            acFilePageSetup,
            acFileAddImage,
            acFilePreview,
            acFileSavePdf,
            acFileOpenLesson,
            acFileSaveLesson,
            acFileSaveLessonAs,
            acExperimentRuns,
            acViewShowAll,
            acViewProjector,
            acViewPulseTaller,
            acViewPulseShorter,
            acExperimentInsertChart,
            acExperimentFit,
            acExperimentSlope,
            acExperimentArea,
            acExperimentDrawPrediction,
            acExperimentTypePrediction,
            acHelpGuide,
            acHelpInfo,
            acFileHandIn};
}
