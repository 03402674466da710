// SPDX-License-Identifier: GPL-3.0-or-later
// tMainActions: the main window's action list (alMain) — every action with its name, category,
// caption, hint, shortcut and icon. The window derives from it, binds the handlers and keeps the
// enabling rules. User-interface thread only.
#pragma once

#include <QCoreApplication>
#include <QList>

class QAction;
class QObject;

struct tMainActions {
    Q_DECLARE_TR_FUNCTIONS(tMainActions)

  public:
    QAction* acFileExit = nullptr;
    QAction* acHelpAbout = nullptr;
    QAction* acViewToolBar = nullptr;
    QAction* acViewStatusBar = nullptr;
    QAction* acExperimentConnect = nullptr;
    QAction* acExperimentChoose = nullptr;
    QAction* acExperimentStart = nullptr;
    QAction* acExperimentStop = nullptr;
    QAction* acExperimentMarkPoint = nullptr;
    QAction* acFileExport = nullptr;
    QAction* acFilePrint = nullptr;
    QAction* acFilePrintSetup = nullptr;
    QAction* acFilePageSetup = nullptr;
    QAction* acFileAddImage = nullptr;
    QAction* acFilePreview = nullptr;  // print preview of the shown tab
    QAction* acFileSavePdf = nullptr;  // the shown tab as a PDF file, through the print path
    QAction* acFileOpenLesson = nullptr;
    QAction* acFileSaveLesson = nullptr;
    QAction* acFileSaveLessonAs = nullptr;
    QAction* acExperimentRuns = nullptr;
    // Reading the results.
    QAction* acViewShowAll = nullptr;
    QAction* acViewProjector = nullptr;
    QAction* acViewPulseTaller = nullptr;  // the pulse frame only
    QAction* acViewPulseShorter = nullptr;
    QAction* acExperimentInsertChart = nullptr;
    // What a pupil reads off the curves (app/Analysisactions.h).
    QAction* acExperimentFit = nullptr;
    QAction* acExperimentSlope = nullptr;
    QAction* acExperimentArea = nullptr;
    QAction* acExperimentDrawPrediction = nullptr;
    QAction* acExperimentTypePrediction = nullptr;
    // Help beside the specified «О программе...», which stays without a handler.
    QAction* acHelpGuide = nullptr;  // F1: the user guide at the page of what the user looks at
    QAction* acHelpInfo = nullptr;   // version, licence, where the files are, the sensor found
    // Handing the work in to the class exchange folder.
    QAction* acFileHandIn = nullptr;

    // Creates every action, owned by `owner`.
    void CreateActions(QObject* owner);
    // Every action, in list order.
    QList<QAction*> Actions() const;
};
