// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Handinaction.h"

#include <QAction>
#include <QDateTime>
#include <QDir>

#include "app/Mainfm.h"
#include "app/Paper.h"
#include "app/Reading.h"
#include "experiments/Experiment.h"
#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"
#include "foundation/Messagebox.h"
#include "foundation/Schoolsettings.h"
#include "lesson/Handin.h"
#include "lesson/Lessonfile.h"

namespace {
const QString kPupilKey = QStringLiteral("PupilName");
}  // namespace

tHandInAction::tHandInAction(TfmMain& window, tPaper& paper, tResultReading& reading)
    : FWindow(window), FPaper(paper), FReading(reading) {}

void tHandInAction::UpdateActions(bool measuring) {
    FWindow.acFileHandIn->setEnabled(FWindow.Experiment() && FWindow.Frame() && FWindow.Lesson() &&
                                     !measuring);
}

void tHandInAction::Execute() {
    const tExperiment* scenario = FWindow.Experiment();
    tLesson* lesson = FWindow.Lesson();
    if (!scenario || !lesson || !FWindow.Frame()) return;

    // Read at every hand-in: a name or a folder the administrator changed counts at once.
    tSchoolSettings school = tSchoolSettings::Load();
    QString pupil = school.PupilName().simplified();
    if (pupil.isEmpty()) {
        if (!InputQuery(tr("Фамилия и имя ученика:"), pupil)) return;
        pupil = pupil.simplified();
        if (pupil.isEmpty()) return;
        try {
            school.SaveUserValue(kPupilKey, pupil);
        } catch (const tException& e) {
            // The work is handed in all the same; the name is asked again next time.
            // untranslated: a line of the log
            LogAdd(QStringLiteral("Имя ученика не запомнено: ") + e.Message());
        }
    }

    // The lesson as a whole copy of its own: the lesson's file, its unsaved mark and its writer stay
    // as they are, so saving later works as before.
    FWindow.Session().CollectEdits();
    const QList<tHandInPart> parts{
        {QStringLiteral("rovelin"), [lesson](const QString& path) { tLessonWriter(path).Save(*lesson); }},
        {QStringLiteral("pdf"), [this](const QString& path) { FPaper.WritePdf(path, 2); }},
        {QStringLiteral("csv"), [this](const QString& path) { FReading.ExportTable(path); }},
    };
    const tHandInResult result =
        HandIn(school.ExchangeFolder(), pupil, scenario->Name, QDateTime::currentDateTime(), parts);
    if (!result.Ok) {
        // untranslated: a line of the log
        LogAdd(QStringLiteral("Работа не сдана: ") + result.Reason);
        ShowWarning(result.Reason);
        return;
    }
    // untranslated: a line of the log
    LogAdd(QStringLiteral("Работа сдана: ") + result.Folder);
    FPaper.Wrote(tr("Работа сдана"), result.Folder);
    ShowInformation(
        tr("Работа сдана.\r\nУченик: %1\r\nПапка: %2").arg(pupil, QDir::toNativeSeparators(result.Folder)));
}
