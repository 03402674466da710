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
    acFileOpenLesson =
        NewAction(owner, "acFileOpenLesson", "File", QStringLiteral("&Открыть урок..."),
                  QStringLiteral("Открыть сохранённый урок: графики, метки, описание и отчёт"));
    acFileOpenLesson->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    acFileSaveLesson = NewAction(owner, "acFileSaveLesson", "File", QStringLiteral("&Сохранить урок"),
                                 QStringLiteral("Сохранить урок: все опыты, метки, описание и отчёт"));
    acFileSaveLesson->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    acFileSaveLessonAs =
        NewAction(owner, "acFileSaveLessonAs", "File", QStringLiteral("Сохранить урок &как..."),
                  QStringLiteral("Сохранить урок в другой файл"));
    acExperimentRuns = NewAction(owner, "acExperimentRuns", "Experiment", QStringLiteral("&Опыты урока..."),
                                 QStringLiteral("Выбрать, какие опыты показывают два графика"));

    acFileExit = NewAction(owner, "acFileExit", "File", QStringLiteral("&Выход..."),
                           QStringLiteral("Выйти из программы"), icExit);
    // Alt+Ч is the same key as Alt+X on a Russian layout.
    acFileExit->setShortcuts(
        {QKeySequence(Qt::ALT | Qt::Key_X), QKeySequence(Qt::ALT | QChar(u'Ч').unicode())});
    acHelpAbout =
        NewAction(owner, "acHelpAbout", "Help", QStringLiteral("&О программе..."),
                  QStringLiteral("Вывести информацию о программе, разработчике и авторских правах"), icAbout);
    acHelpAbout->setEnabled(false);
    acViewToolBar = NewAction(owner, "acViewToolBar", "View", QStringLiteral("&Панель инструментов"),
                              QStringLiteral("Показать/спрятать панель инструментов"));
    acViewToolBar->setCheckable(true);
    acViewToolBar->setChecked(true);
    acViewStatusBar = NewAction(owner, "acViewStatusBar", "View", QStringLiteral("&Строка состояния"),
                                QStringLiteral("Позазать/спрятать строку состояния"));
    acViewStatusBar->setCheckable(true);
    acViewStatusBar->setChecked(true);
    acExperimentConnect =
        NewAction(owner, "acExperimentConnect", "Experiment", QStringLiteral("&Подключение"),
                  QStringLiteral("Найти датчики и подключиться к ним"), icConnect);
    acExperimentConnect->setCheckable(true);
    acExperimentChoose =
        NewAction(owner, "acExperimentChoose", "Experiment", QStringLiteral("&Выбор эксперимента..."),
                  QStringLiteral("Выбрать сценарий для проведения эксперимента"), icChoose);
    acExperimentStart = NewAction(owner, "acExperimentStart", "Experiment", QStringLiteral("&Пуск"),
                                  QStringLiteral("Запустить измерения"), icStart);
    acExperimentStop = NewAction(owner, "acExperimentStop", "Experiment", QStringLiteral("&Стоп"),
                                 QStringLiteral("Остановить измерения"), icStop);
    AddShortcut(acExperimentStart, QKeySequence(Qt::Key_F5));
    AddShortcut(acExperimentStop, QKeySequence(Qt::SHIFT | Qt::Key_F5));
    acExperimentMarkPoint =
        NewAction(owner, "acExperimentMarkPoint", "Experiment", QStringLiteral("&Отметить точку...."),
                  QStringLiteral("Отметить точку на графике"), icMark);
    acExperimentMarkPoint->setCheckable(true);
    AddShortcut(acExperimentMarkPoint, QKeySequence(Qt::CTRL | Qt::Key_M));
    acFileExport = NewAction(owner, "acFileExport", "File", QStringLiteral("&Экспорт..."),
                             QStringLiteral("Экспортировать данные во внешний файл"), icExport);
    acFilePrint = NewAction(owner, "acFilePrint", "File", QStringLiteral("&Печать..."),
                            QStringLiteral("Напечатать содержимое текущей вкладки"), icPrint);
    acFilePrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    acFilePrintSetup = NewAction(owner, "acFilePrintSetup", "File", QStringLiteral("Параметры печати..."),
                                 QStringLiteral("Изменить настройки печати"));
    acFilePageSetup = NewAction(owner, "acFilePageSetup", "File", QStringLiteral("Параметры страницы..."),
                                QStringLiteral("Изменить настройки страницы"));
    acFileAddImage = NewAction(owner, "acFileAddImage", "File", QStringLiteral("&Добавить изображение..."),
                               QStringLiteral("&Добавить изображение из файла"), icAddImage);
    acFilePreview = NewAction(owner, "acFilePreview", "File", QStringLiteral("Предварительный просмотр..."),
                              QStringLiteral("Показать, как будет напечатана текущая вкладка"));
    acFileSavePdf = NewAction(owner, "acFileSavePdf", "File", QStringLiteral("Сохранить в PDF..."),
                              QStringLiteral("Сохранить текущую вкладку в файл PDF, как при печати"));

    acViewShowAll = NewAction(owner, "acViewShowAll", "View", QStringLiteral("Показать &все"),
                              QStringLiteral("Показать на графике все точки опытов"));
    acViewShowAll->setShortcut(QKeySequence(Qt::Key_Home));
    acViewProjector =
        NewAction(owner, "acViewProjector", "View", QStringLiteral("Режим &проектора"),
                  QStringLiteral("Крупные надписи и толстые линии для показа на экране класса"));
    acViewProjector->setCheckable(true);
    acExperimentInsertChart =
        NewAction(owner, "acExperimentInsertChart", "Experiment", QStringLiteral("Вставить &график в отчет"),
                  QStringLiteral("Вставить график с показаниями маркеров в отчет"));

    acExperimentFit = NewAction(
        owner, "acExperimentFit", "Experiment", QStringLiteral("Подобрать &формулу..."),
        QStringLiteral("Подобрать формулу к точкам между маркерами (без маркеров — ко всему опыту)"));
    acExperimentSlope = NewAction(
        owner, "acExperimentSlope", "Experiment", QStringLiteral("&Наклон"),
        QStringLiteral("Провести касательную в первом маркере и узнать, как быстро меняется величина"));
    acExperimentArea = NewAction(owner, "acExperimentArea", "Experiment", QStringLiteral("П&лощадь"),
                                 QStringLiteral("Закрасить и сосчитать площадь под кривой между маркерами"));
    acExperimentDrawPrediction =
        NewAction(owner, "acExperimentDrawPrediction", "Experiment", QStringLiteral("Нарисовать п&рогноз"),
                  QStringLiteral("Нарисовать мышью, какой получится кривая, ещё до опыта"));
    acExperimentDrawPrediction->setCheckable(true);
    acExperimentTypePrediction =
        NewAction(owner, "acExperimentTypePrediction", "Experiment", QStringLiteral("Ввести прогноз..."),
                  QStringLiteral("Ввести точки ожидаемой кривой числами"));
    acHelpGuide = NewAction(owner, "acHelpGuide", "Help", QStringLiteral("&Руководство пользователя"),
                            QStringLiteral("Открыть руководство на странице того, что сейчас на экране"));
    AddShortcut(acHelpGuide, QKeySequence(Qt::Key_F1));
    acHelpInfo = NewAction(
        owner, "acHelpInfo", "Help", QStringLiteral("&Сведения о программе..."),
        QStringLiteral("Версия, лицензия, где лежат журнал, настройки и автосохранение, найденный датчик"));
    acFileHandIn = NewAction(owner, "acFileHandIn", "File", QStringLiteral("Сдать &работу..."),
                             QStringLiteral("Сдать урок, отчёт и измерения в папку класса"));
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
