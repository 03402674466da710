// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/Session.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "devices/Device.h"
#include "devices/Portopeners.h"
#include "devices/Sensorsearch.h"
#include "experiments/Catalogue.h"
#include "experiments/Sensormodels.h"
#include "foundation/Appmessage.h"
#include "foundation/Exceptions.h"
#include "foundation/Functions.h"
#include "foundation/Guard.h"
#include "foundation/Language.h"
#include "foundation/Logfile.h"
#include "foundation/Milestones.h"
#include "foundation/Settingkeys.h"
#include "foundation/Settings.h"
#include "foundation/Stringtable.h"
#include "lesson/Autosave.h"
#include "lesson/Saver.h"
#include "platform/Clock.h"

namespace {
// Translated where shown (QCoreApplication::translate("tSession", ...)).
const char* const kFtdiDriverText = QT_TRANSLATE_NOOP(
    "tSession",
    "Была предпринята попытка работы с датчиками через интерфейс FTDI, при этом драйверы установлены не "
    "были.\r\nПодключите датчик к ПК, дождитесь установки драйвера и повторите попытку.");
const char* const kNoSensorText =
    QT_TRANSLATE_NOOP("tSession", "Не найден датчик для проведения эксперимента.");
const char* const kSensorRemovedText = QT_TRANSLATE_NOOP(
    "tSession",
    "Внимание! Измерения были остановлены.\r\nДатчик , был отключен в процессе проведения измерений.");

constexpr int kRecentCount = 5;

// A sensor is called silent after this long without a value: 10 s, or 20 sampling periods when
// those are longer, so that a slow scenario's normal gaps do not count.
constexpr double kSilentSeconds = 10.0;
constexpr double kSilentPeriods = 20.0;

int ValuesWaiting(const tChannelValues& channels) {
    int count = 0;
    for (int channel = 0; channel < tChannelValues::kChannels; ++channel) count += channels.Count(channel);
    return count;
}

QString RecentListPath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("recent-lessons"));
}
}  // namespace

int64_t tSessionHost::CounterNow() const {
    return HighResCounter();
}

bool tSessionHost::LessonSaveFailed(const tLessonFileError& error) {
    LessonFileFailed(error);
    return false;
}

tSession::tSession(tSessionHost& host, const QString& programDir, const QString& stateFolder)
    : FHost(host), FProgramDir(programDir) {
    FSettings = std::make_unique<tSettings>();
    FMeasureTimer = new QTimer(this);
    FMeasureTimer->setObjectName(QStringLiteral("tmMeasure"));
    FMeasureTimer->setInterval(100);
    // A failing tick ends only that tick; its error goes to the box (or the log) like a handler's.
    connect(FMeasureTimer, &QTimer::timeout, this, [this] { RunGuarded([this] { Tick(); }); });

    FSaver = std::make_unique<tLessonSaver>();
    connect(FSaver.get(), &tLessonSaver::Saved, this, &tSession::Written);
    connect(FSaver.get(), &tLessonSaver::Failed, this, &tSession::WriteFailed);

    // The recent list stays in the state folder; the autosave goes to a folder on this computer
    // when that one lies on the school's server.
    FStateFolder = stateFolder.isEmpty() ? tAutosave::DefaultFolder() : stateFolder;
    FAutosave = std::make_unique<tAutosave>(stateFolder.isEmpty() ? tAutosave::LocalFolder() : stateFolder);
    FAutosave->BeforeSave = [this] { CollectEdits(); };
    connect(FAutosave.get(), &tAutosave::Failed, this, [](const QString& message) {
        // untranslated: a log line
        LogAdd(QStringLiteral("Автосохранение: ") + message);
    });

    QByteArray bytes;
    QString error;
    if (ReadBoundedFile(RecentListPath(FStateFolder), 64 * 1024, bytes, error) == tFileRead::Ok)
        for (const QByteArray& line : bytes.split('\n'))
            if (!line.isEmpty() && FRecentLessons.size() < kRecentCount)
                FRecentLessons << QString::fromUtf8(line);
}

tSession::~tSession() {
    FMeasureTimer->stop();
    // A running measurement is stopped (joined, stop command sent) before the session it reports
    // to goes away; an idle sensor is only closed, it has nothing to stop.
    if (FDevice) {
        try {
            if (FDevice->IsMeasuring()) FDevice->Stop();
        } catch (...) {
        }
        FDevice.reset();
    }
    // A save still being written is finished; how it went is told to no one any more, so the
    // autosave stays for the next start.
    const bool writing = FSaver->Busy();
    FSaver.reset();
    if (!FKeepAutosave && !writing) FAutosave->Discard();
    FAutosave.reset();
    // Views still showing the lesson's runs let go of them before the session's members go.
    FLesson.reset();
}

// ---------------------------------------------------------------------------------------------
// settings and scenario

void tSession::LoadSettings() {
    FSettings->Load(FProgramDir + QStringLiteral("/rovelin.cfg"));
}

QString tSession::CatalogueRoot() const {
    // The English interface shows the English sample catalogue beside the Russian one, when the
    // program has it; a school's own data/ serves both languages otherwise.
    if (InterfaceLanguage() == tLanguage::English &&
        QFileInfo(FProgramDir + QStringLiteral("/data-en")).isDir())
        return FProgramDir + QStringLiteral("/data-en/");
    return FProgramDir + QStringLiteral("/data/");
}

void tSession::SetExperiment(const tExperiment& record) {
    if (!FExperiment) FExperiment = std::make_unique<tExperiment>();
    *FExperiment = record;
}

// ---------------------------------------------------------------------------------------------
// the sensor

void tSession::Disconnect() {
    if (FDevice && IsMeasuring()) Stop();
    FDevice.reset();
    emit DeviceChanged();
}

void tSession::AdoptDevice(std::unique_ptr<tDevice> device) {
    Disconnect();
    FDevice = std::move(device);
    emit DeviceChanged();
}

void tSession::Connect() {
    // There is no separate disconnect command: connecting again first lets the sensor go.
    if (FDevice) Disconnect();
    if (!FExperiment) {
        FHost.Warn(LoadStr(msg::ChooseExperimentFirst));
        return;
    }
    const QString sensorName = FExperiment->SensorName;
    if (SensorModelFor(sensorName).Manual) return;

    QElapsedTimer searching;
    searching.start();
    std::unique_ptr<tSensorSearch> search = FHost.CreateSensorSearch();
    search->SetWaitHook([this, sensorName] { FHost.Searching(sensorName); });
    // The driver reminder is said once per program run: a teacher who has read it needs it no more.
    auto remindFtdi = [this] {
        if (FDevice || FHost.FtdiLibraryLoaded() || FFtdiReminderShown) return;
        FFtdiReminderShown = true;
        FHost.SearchDone();
        FHost.Warn(tr(kFtdiDriverText));
    };
    // The steps after the searches run whatever happens in them; an error then goes on.
    auto finish = [&] {
        FHost.SearchDone();
        emit DeviceChanged();
        if (FDevice) {
            LogMilestone(milestone::SensorConnected(sensorName, FDevice->PortPath(), FDevice->Transport(),
                                                    searching.elapsed()));
            // A refused period leaves the sensor at its own pace, so the chart's times would be
            // wrong without a word; the sensor stays connected.
            if (!FDevice->SetFrequency(0, FExperiment->Freq) && !FDevice->FrequencyProblem().isEmpty())
                FHost.Warn(FDevice->FrequencyProblem());
        } else {
            LogMilestone(milestone::SensorNotFound(sensorName, searching.elapsed()));
            FHost.Warn(tr(kNoSensorText) + QStringLiteral("\r\n\r\n") +
                       tSensorSearch::NotFoundAdvice(sensorName, search->Findings()));
        }
    };
    try {
        if (SettingInt(FSettings.get(), setting::UseFTDI) != 0) {
            try {
                FHost.Searching(sensorName);
                FDevice = search->FindFTDISensor(sensorName);
            } catch (...) {
                remindFtdi();
                throw;
            }
            remindFtdi();
        }
        // The demo sensors are serial candidates and are searched whatever UseCDC says.
        const bool useCdc =
            SettingInt(FSettings.get(), setting::UseCDC) != 0 || !ExtraSerialCandidates().isEmpty();
        const bool useHid = SettingInt(FSettings.get(), setting::UseHID) != 0;
        if (!FDevice && (useCdc || useHid)) FHost.Searching(sensorName);
        if (!FDevice && useCdc) FDevice = search->FindCOMSensor(sensorName);
        if (!FDevice && useHid) FDevice = search->FindHIDSensor(sensorName);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

// ---------------------------------------------------------------------------------------------
// runs

bool tSession::IsMeasuring() const {
    return FMeasureTimer->isActive();
}

void tSession::Start(int slot) {
    // Failures the previous run posted before its thread was joined are that run's, not this one's.
    QCoreApplication::sendPostedEvents(QCoreApplication::instance(), tAppMessageEvent::EventType());
    FRunFaultReported = false;
    FCurrentSeries = slot;
    // Every run is a new run of the lesson, shown in the series the frame chose; the run that
    // series showed before stays in the lesson.
    tRun* run = FLesson->AddRun(FExperiment->Freq * 1e-6 * std::max(1, FExperiment->Average));
    run->Started = QDateTime::currentDateTime();
    run->SensorName = FExperiment->SensorName;
    FLesson->SetSeriesRun(slot, run);
    FLesson->SetCurrentSeries(slot);
    FChannels.Clear();
    FDevice->Start(0);
    FCurrentChannel = 0;
    FStartCount = FHost.CounterNow();
    FLastValueCount = FStartCount;
    FMeasureTimer->start();
    LogMilestone(milestone::RunStarted(FLesson->IndexOf(run) + 1));
    emit RunStarted();
}

void tSession::Stop() {
    FMeasureTimer->stop();
    if (FDevice) FDevice->Stop();
    if (const tRun* run = FLesson ? FLesson->SeriesRun(FCurrentSeries) : nullptr)
        LogMilestone(milestone::RunStopped(FLesson->IndexOf(run) + 1, run->Count(), ElapsedTenths() / 10.0));
    emit RunStopped();
    FAutosave->SaveNow();  // every Stop is kept at once
}

void tSession::ReportFault(const QString& text) {
    // A lost sensor keeps failing until its thread has been joined; what it posted meanwhile is
    // the same event and is only logged.
    if (FRunFaultReported) {
        LogAdd(text);
        return;
    }
    FRunFaultReported = true;
    if (FDevice && IsMeasuring()) Stop();
    // An unplugged sensor's port only fails from now on, and while it is open the system keeps its
    // device node: the sensor plugged in again would come back under another one. So the port is
    // closed (the window shows the sensor as gone) and the next connection finds it where it was.
    if (FDevice && FDevice->IsGone()) {
        LogAdd(QStringLiteral("The sensor on %1 is gone; its port is closed").arg(FDevice->PortPath()));
        FDevice.reset();
        emit DeviceChanged();
    }
    emit Fault(text);
}

bool tSession::HandleDeviceMessage(uint32_t code) {
    switch (code) {
        case WM_DEVICE_WRITE_ERROR:
            ReportFault(LoadStr(msg::WriteError));
            return true;
        case WM_DEVICE_READ_ERROR:
            ReportFault(LoadStr(msg::ReadError));
            return true;
        case WM_SENSOR_REMOVED:
            ReportFault(tr(kSensorRemovedText));
            return true;
        default:
            return false;
    }
}

void tSession::UsbDeviceRemoved() {
    if (!FDevice) return;
    const QString node = FDevice->PortPath().section(u'#', 0, 0);
    if (!node.startsWith(u'/') || QFileInfo::exists(node)) return;
    LogAdd(QStringLiteral("The sensor on %1 was unplugged; its port is closed").arg(FDevice->PortPath()));
    // The failed reads the removal still brings belong to this run: they only go to the log.
    const bool measuring = IsMeasuring();
    if (measuring) {
        FRunFaultReported = true;
        try {
            Stop();
        } catch (const tException& e) {
            // The stop command had nowhere to go; the run is over all the same.
            LogAdd(e.Message());
            emit RunStopped();
        }
    }
    FDevice.reset();
    emit DeviceChanged();
    if (measuring) emit Fault(tr(kSensorRemovedText));
}

void tSession::Tick() {
    if (FDevice) {
        tDevicePackets source(*FDevice);
        const int waiting = ValuesWaiting(FChannels);
        const tIntakeResult intake = TakePackets(source, FChannels, FCurrentChannel);
        if (ValuesWaiting(FChannels) > waiting) FLastValueCount = FHost.CounterNow();
        // A broken frame ends the run; what was decoded before it is still plotted below.
        if (intake.Malformed && IsMeasuring()) Stop();
    }
    AddPoints();
    emit Ticked();
}

void tSession::AddPoints() {
    if (!FExperiment || !FLesson) return;
    tRun* run = FLesson->SeriesRun(FCurrentSeries);
    if (!run) return;
    const qsizetype from = run->Count();
    tPointBuilder builder(FExperiment->Freq, FExperiment->Average);
    while (!FPointsHeld && builder.HasPoint(FChannels)) {
        // The run computes X from the index and the step the builder also uses.
        const tPoint point = builder.Next(FChannels, static_cast<int>(run->Count()));
        const QString label = FHost.TakePointLabel();
        run->Append(point.y, label);
        if (!label.isEmpty())
            LogMilestone(milestone::PointLabelled(FLesson->IndexOf(run) + 1, run->Count(),
                                                  run->X(run->Count() - 1), label));
    }
    const qsizetype count = run->Count() - from;
    if (count <= 0) return;
    FLesson->NotifyAppended(run, from, count);
    emit PointsAdded(run, from, count);
}

uint32_t tSession::ElapsedTenths() const {
    return ::ElapsedTenths(FHost.CounterNow(), FStartCount, HighResFrequency());
}

qint64 tSession::SilentSeconds() const {
    if (!IsMeasuring()) return 0;
    const double silent =
        static_cast<double>(FHost.CounterNow() - FLastValueCount) / static_cast<double>(HighResFrequency());
    const double limit =
        FExperiment ? std::max(kSilentSeconds, kSilentPeriods * FExperiment->Freq * 1e-6) : kSilentSeconds;
    return silent < limit ? 0 : static_cast<qint64>(silent);
}

// ---------------------------------------------------------------------------------------------
// the lesson

void tSession::NewLesson(const QByteArray& descriptionRtf, const QByteArray& reportRtf) {
    // A write of the lesson before ends (and is told) before another lesson comes.
    FSaveNext.reset();
    WaitForSave();
    FLastSaveOk = true;
    FLesson = std::make_unique<tLesson>();
    FCurrentSeries = 0;
    if (FExperiment) {
        const tExperiment& e = *FExperiment;
        const QString root = QDir(CatalogueRoot()).absolutePath();
        const QString folder = QDir(e.Path).absolutePath();
        QString relative;
        tCatalogueEntry school;
        if (!e.Path.isEmpty() && folder.startsWith(root + u'/'))
            relative = folder.mid(root.size() + 1) + u'/';
        else if (!e.Path.isEmpty() && tCatalogue::ForProgram(QString()).Locate(folder, school))
            relative = school.Relative;  // a scenario of a school's catalogue, below that catalogue
        // The scenario as its file has it; the record's own values when the file is gone.
        QByteArray bytes;
        QString error;
        tScenarioEntries entries;
        if (!e.Path.isEmpty() && ReadBoundedFile(QDir(e.Path).filePath(QStringLiteral("experiment.txt")),
                                                 ParameterFileLimit, bytes, error) == tFileRead::Ok)
            entries = ExperimentEntries(bytes);
        if (entries.isEmpty()) entries = ExperimentEntries(e);
        FLesson->SetScenario(e.Name, relative, entries);
    }
    if (!descriptionRtf.isNull()) FLesson->SetDocument(tLesson::Description, descriptionRtf);
    if (!reportRtf.isNull()) FLesson->SetDocument(tLesson::Report, reportRtf);
    FLesson->SetModified(false);
    FReportEdited = false;
    FLessonPath.clear();
    FSaver->SetWriter(std::make_unique<tLessonWriter>());
    connect(FLesson.get(), &tLesson::ModifiedChanged, this, &tSession::UnsavedChanged);
    FAutosave->Watch(FLesson.get());
    emit LessonChanged();
}

void tSession::ReportEdited() {
    if (FReportEdited) return;
    FReportEdited = true;
    emit UnsavedChanged();
}

void tSession::CollectEdits() {
    if (!FLesson || !FReportEdited) return;
    FReportEdited = false;
    FLesson->SetDocument(tLesson::Report, FHost.EditedReport());
}

bool tSession::Unsaved() const {
    return FLesson && (FLesson->Modified() || FReportEdited);
}

// ---------------------------------------------------------------------------------------------
// the lesson file

bool tSession::ConfirmSaved() {
    // Whether anything is unsaved depends on how a save being written ends.
    WaitForSave();
    if (!Unsaved()) return true;
    switch (FHost.AskSaveChanges()) {
        case tSaveChoice::Save:
            return Save();
        case tSaveChoice::Discard:
            return true;
        case tSaveChoice::Cancel:
            break;
    }
    return false;
}

QString tSession::SaveTarget(const QString& path) {
    QString target = path.isEmpty() ? FLessonPath : path;
    if (target.isEmpty()) target = FHost.AskLessonSaveFile();
    if (target.isEmpty()) return {};
    if (QFileInfo(target).suffix().isEmpty()) target += u'.' + QLatin1String(lessonfile::Suffix);
    return QFileInfo(target).absoluteFilePath();
}

bool tSession::StartSave(const QString& path) {
    if (!FExperiment || !FLesson) return false;
    // One write at a time, so what is added to a file never overtakes what was added before. The
    // lesson's own file is the one it has when the save's turn comes (a «Сохранить как» may be
    // being written).
    if (FSaver->Busy()) {
        FSaveNext = path.isEmpty() ? QString() : SaveTarget(path);
        return true;
    }
    const QString target = SaveTarget(path);
    if (target.isEmpty()) return false;
    Write(target);
    return true;
}

bool tSession::Save(const QString& path) {
    return StartSave(path) && WaitForSave();
}

bool tSession::Saving() const {
    return FSaver->Busy();
}

bool tSession::WaitForSave() {
    // Delivering an outcome may start the next write.
    while (FSaver->Busy()) FSaver->Wait();
    return FLastSaveOk;
}

void tSession::Write(const QString& target) {
    CollectEdits();
    FWriteTarget = target;
    // The lesson's own file gets what is new; another file is written whole and becomes the
    // lesson's file only once it is written.
    const tLessonSaver::tStart started =
        target == FSaver->Writer().Path() ? FSaver->Save(*FLesson) : FSaver->SaveAs(*FLesson, target);
    if (started == tLessonSaver::tStart::NothingNew) Written();
}

void tSession::Written() {
    FLastSaveOk = true;
    FLessonPath = FSaver->Writer().Path();
    FAutosave->SetOrigin(FLessonPath);
    RememberRecent(FLessonPath);
    // What came while the file was written (a run's points, an edit) is still unsaved.
    FLesson->SetModified(FSaver->Writer().HasChanges(*FLesson));
    LogMilestone(milestone::LessonSaved(QDir::toNativeSeparators(FLessonPath)));
    emit LessonSaved(FLessonPath);
    SaveNext();
}

void tSession::WriteFailed(tLessonFault fault, const QString& message, const QString& reason) {
    FLastSaveOk = false;
    // The user hears of a refused file once: a save of it asked for meanwhile would fail alike.
    if (FSaveNext && (FSaveNext->isEmpty() || *FSaveNext == FWriteTarget)) FSaveNext.reset();
    // The lesson stays unsaved and whole, its file and the autosave as they were.
    if (FHost.LessonSaveFailed(tLessonFileError(fault, message, reason)))
        if (const QString other = FHost.AskLessonSaveFile(); !other.isEmpty()) FSaveNext = other;
    SaveNext();
}

void tSession::SaveNext() {
    if (!FSaveNext || FSaver->Busy()) return;
    const QString target = SaveTarget(*std::exchange(FSaveNext, std::nullopt));
    if (!target.isEmpty()) Write(target);
}

std::unique_ptr<tOpenedLesson> tSession::ReadLessonFile(const QString& path, bool recovered) {
    auto opened = std::make_unique<tOpenedLesson>();
    opened->Recovered = recovered;
    if (!recovered) opened->Writer = std::make_unique<tLessonWriter>();
    QMap<QString, QString> meta;
    tLessonReadNote note;
    try {
        ReadLesson(path, opened->Lesson, opened->Writer.get(), &meta, &note);
    } catch (const tLessonFileError& e) {
        FHost.LessonFileFailed(e);
        return nullptr;
    }
    opened->Note = note.Text;
    if (!note.UpgradeCopy.isEmpty())
        // untranslated: a log line
        LogAdd(QStringLiteral("Урок переведён в новый вид, прежний файл: ") + note.UpgradeCopy);
    opened->Path = recovered ? meta.value(QStringLiteral("origin")) : path;
    tExperiment& record = opened->Scenario;
    record.Clear();
    QString error;
    ParseExperimentEntries(opened->Lesson.ScenarioEntries(), record, error);
    record.Name = opened->Lesson.ScenarioName();
    // The scenario's folder when a catalogue has it (the program's first, then the school's); its
    // documents come from the lesson anyway.
    const QString relative = opened->Lesson.ScenarioFolder();
    QString folder = CatalogueRoot() + relative;
    if (!relative.isEmpty() && !QDir(folder).exists()) {
        const tCatalogue school = tCatalogue::ForProgram(QString());
        for (const tCatalogueRoot& root : school.Roots())
            if (QDir(root.Path + relative).exists()) {
                folder = root.Path + relative;
                break;
            }
    }
    record.Path = !relative.isEmpty() && QDir(folder).exists() ? folder : QString();
    return opened;
}

void tSession::AdoptLesson(tOpenedLesson& opened) {
    FLesson->MoveFrom(opened.Lesson);
    FCurrentSeries = FLesson->CurrentSeries();
    FReportEdited = false;
    FLessonPath = opened.Path;
    if (opened.Recovered) {
        // The restored work is not in any lesson file yet: saving writes it whole.
        FSaver->SetWriter(std::make_unique<tLessonWriter>(FLessonPath));
        FLesson->SetModified(true);
    } else {
        FSaver->SetWriter(std::move(opened.Writer));
        FLesson->SetModified(false);
        RememberRecent(FLessonPath);
    }
    FAutosave->Watch(FLesson.get(), FLessonPath);
    emit LessonChanged();
}

void tSession::RememberRecent(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    FRecentLessons.removeAll(absolute);
    FRecentLessons.prepend(absolute);
    while (FRecentLessons.size() > kRecentCount) FRecentLessons.removeLast();
    // The list is the user's state, not the program's folder.
    const QString folder = FStateFolder;
    try {
        QDir().mkpath(folder);
        WriteFileAtomically(RecentListPath(folder), [this](QIODevice& file) {
            for (const QString& recent : FRecentLessons)
                if (file.write(recent.toUtf8() + '\n') < 0) return false;
            return true;
        });
    } catch (const tException& e) {
        // A list that cannot be kept is no reason to bother the pupil.
        LogAdd(e.Message());
    }
}

// ---------------------------------------------------------------------------------------------
// the autosave

QString tSession::LeftoverAutosave() const {
    return tAutosave::Leftover(QFileInfo(FAutosave->Path()).absolutePath());
}

void tSession::DiscardAutosave() {
    FAutosave->Discard();
}

void tSession::KeepAutosave() {
    FAutosave->SaveNow();
    FAutosave->Flush();
    FKeepAutosave = true;
}
