// SPDX-License-Identifier: GPL-3.0-or-later
// tSession: the measurement session of the open lesson, under the window and free of widgets. It
// owns the settings, the scenario record, the connected sensor, the 16 channel sequences and the
// measurement tick (tmMeasure: decode -> points -> tRun::Append), run start and stop with the fault
// rule of a run, the lesson (tLesson) and the lesson file's state: its path, its writer, the
// autosave, the unsaved mark and the recent lessons. It tells what happened through its signals
// and asks the window (tSessionHost) wherever a person has to answer or look; it shows nothing.
//
// Threads: the user-interface thread only. The device's measurement thread fills the packet queue
// the tick empties; the lesson file and the autosave are written on threads of their own (created
// with the session, so the session is made before that thread is pinned to the first processor),
// so no save holds the window, whatever the lesson's size. Signals are emitted once the session's
// state is whole again, so a slot may call back into it.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

#include "experiments/Experiment.h"
#include "foundation/Notice.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "measurement/Samples.h"

class QTimer;
class tAutosave;
class tLessonSaver;
class tDevice;
class tSensorSearch;
class tSettings;

// A lesson file read whole, before anything of the open lesson changes (tSession::ReadLessonFile).
struct tOpenedLesson {
    tLesson Lesson;
    std::unique_ptr<tLessonWriter> Writer;  // knows what the file holds (none for an autosave)
    QString Path;  // the lesson's file; for a recovered autosave the file it came from, or empty
    bool Recovered = false;
    // What the user should know about the file besides the lesson (an old file that may not be
    // written), empty when nothing.
    QString Note;
    tExperiment Scenario;  // from the lesson's entries; Path is the catalogue's folder when it has it
};

// What the session needs of the window: the dialogs and boxes, the views' edits, the clock.
class tSessionHost {
  public:
    virtual ~tSessionHost() = default;

    // ---- connecting ----
    // The sensor search of one connection procedure.
    virtual std::unique_ptr<tSensorSearch> CreateSensorSearch() = 0;
    // Whether the FTDI library could be loaded (the driver reminder of the procedure).
    virtual bool FtdiLibraryLoaded() const = 0;
    // The procedure blocks in a search for `sensorName`: called before each search and about every
    // 50 ms while the detectors work, so the window can say it is busy and keep painting.
    virtual void Searching(const QString& sensorName) = 0;
    // The search is over, or a box is about to come: the window is no longer busy.
    virtual void SearchDone() = 0;
    // A warning box of the connection procedure; returns when it is closed.
    virtual void Warn(const QString& text) = 0;

    // ---- the run ----
    // The high-resolution counter (HighResFrequency ticks a second); tests inject a clock.
    virtual int64_t CounterNow() const;
    // The label for the next point, emptied (the frame's pending label).
    virtual QString TakePointLabel() = 0;

    // ---- the lesson file ----
    // Where to save a lesson that has no file yet (or "save as"); empty when cancelled.
    virtual QString AskLessonSaveFile() = 0;
    // Unsaved work: save, don't save, or cancel what was about to happen.
    virtual tSaveChoice AskSaveChanges() = 0;
    // The report as the user edited it, as RTF (only asked after it was edited).
    virtual QByteArray EditedReport() = 0;
    // A lesson file could not be read or written; the message is ready for the error box.
    virtual void LessonFileFailed(const tLessonFileError& error) = 0;
    // A save failed; the lesson stays unsaved. When saving under another name gets the lesson out
    // (error.SaveAsHelps()), the box offers «Сохранить как...»: true when the user chose it. By
    // default the plain error box of LessonFileFailed.
    virtual bool LessonSaveFailed(const tLessonFileError& error);
};

class tSession : public QObject {
    Q_OBJECT
  public:
    // `programDir` holds rovelin.cfg and data/; the autosave and the recent list live in
    // `stateFolder` (the user's state folder by default).
    tSession(tSessionHost& host, const QString& programDir, const QString& stateFolder = QString());
    ~tSession() override;

    // ---- settings and scenario ----
    // Loads rovelin.cfg from the program folder (raises tFileOpenError, message 1004, when missing).
    void LoadSettings();
    tSettings* Settings() const { return FSettings.get(); }
    QString ProgramDir() const { return FProgramDir; }
    QString CatalogueRoot() const;
    // The scenario record: null until the first scenario is chosen, then refilled in place.
    tExperiment* Experiment() const { return FExperiment.get(); }
    void SetExperiment(const tExperiment& record);

    // ---- the sensor ----
    tDevice* Device() const { return FDevice.get(); }
    // The connection procedure: lets a connected sensor go, then finds the scenario's sensor on
    // the transports the settings allow and sends it the sampling period. What the user must hear
    // goes to the host's Warn; an error of a search goes on to the caller after the last steps.
    void Connect();
    // Stops a run, then lets the sensor go.
    void Disconnect();
    // A device found elsewhere (tests, tools) becomes the connected one.
    void AdoptDevice(std::unique_ptr<tDevice> device);

    // ---- runs ----
    bool IsMeasuring() const;
    // Starts a run shown in series `slot`: a new run of the lesson, empty channels, the device
    // started, the tick running. Raises what the device raises.
    void Start(int slot);
    // Ends the run: the tick stops, the device stops, RunStopped, the autosave keeps it.
    void Stop();
    // While held (a point label is being asked for) the tick decodes but adds no points.
    void HoldPoints(bool held) { FPointsHeld = held; }
    // One tick of tmMeasure: packet intake, points, Ticked.
    void Tick();
    // A failure of the device during a run: the first of a run stops it and is told (Fault); the
    // ones after it, until the next start, only go to the log.
    void ReportFault(const QString& text);
    // The device's application messages (write and read errors, sensor removed) as faults of the
    // run; false for any other code.
    bool HandleDeviceMessage(uint32_t code);
    // The system tells that a USB device went away. When it was the connected sensor (its device
    // node is gone), a run ends at once, told as a removed sensor, and the port is closed, so the
    // sensor plugged in again comes back on its old node. A sensor without a node of its own (FTDI
    // through its library, the simulator) is left to its reads.
    void UsbDeviceRemoved();
    // The series the current (or last) run fills.
    int CurrentSeries() const { return FCurrentSeries; }
    const tChannelValues& Channels() const { return FChannels; }
    // Tenths of a second since the run started.
    uint32_t ElapsedTenths() const;
    // Whole seconds the running sensor has sent no value, once that is long enough to mean it
    // (10 s, or 20 sampling periods when those are longer); 0 otherwise.
    qint64 SilentSeconds() const;
    QTimer* MeasureTimer() const { return FMeasureTimer; }

    // ---- the lesson ----
    // The open scenario's lesson; null before the first scenario.
    tLesson* Lesson() const { return FLesson.get(); }
    // A new lesson for the scenario record (its entries, its folder), with the documents as shown
    // (null arrays: none yet); no file, nothing unsaved. The old lesson goes.
    void NewLesson(const QByteArray& descriptionRtf = QByteArray(),
                   const QByteArray& reportRtf = QByteArray());
    // The user edited the report view; it goes into the lesson before the next save.
    void ReportEdited();
    // Puts the edited report into the lesson (before every save and autosave).
    void CollectEdits();
    bool Unsaved() const;

    // ---- the lesson file ----
    QString LessonPath() const { return FLessonPath; }
    // Ctrl+S and «Сохранить как»: saves to `path` (empty: the lesson's own file, or ask for one)
    // on the saving thread and returns at once; LessonSaved or the host's LessonSaveFailed follow.
    // A save asked for while one is written follows it. False when cancelled.
    bool StartSave(const QString& path = QString());
    // StartSave, then waits for the write: false when it was not saved (cancelled, or the host was
    // told why).
    bool Save(const QString& path = QString());
    // Whether a save is being written.
    bool Saving() const;
    // Waits for the saves being written (and those they lead to: one asked for meanwhile,
    // «Сохранить как...» chosen in the failure box); their outcome is told as usual. False when the
    // last of them failed.
    bool WaitForSave();
    // Unsaved work: asks save / don't save / cancel, after a save being written has ended. True
    // when the caller may go on.
    bool ConfirmSaved();
    // Reads the lesson file at `path` whole, without touching the open lesson; a recovered
    // autosave keeps the file it came from. Null when it could not be read (the host was told).
    std::unique_ptr<tOpenedLesson> ReadLessonFile(const QString& path, bool recovered);
    // What ReadLessonFile read becomes the open lesson (after NewLesson for its scenario).
    void AdoptLesson(tOpenedLesson& opened);
    QStringList RecentLessons() const { return FRecentLessons; }

    // ---- the autosave ----
    tAutosave* Autosave() const { return FAutosave.get(); }
    // The autosave a session that did not end normally left behind, empty when there is none.
    QString LeftoverAutosave() const;
    // The program ends normally: nothing to restore next time.
    void DiscardAutosave();
    // The desktop session ends without asking: the autosave keeps the work for the next start.
    void KeepAutosave();

  signals:
    void DeviceChanged();
    void RunStarted();
    void RunStopped();
    // Every tick of a run, after the points were added.
    void Ticked();
    // The tick appended points from..from+count-1 to `run`.
    void PointsAdded(tRun* run, qsizetype from, qsizetype count);
    // The first failure of a run stopped it; `text` is for the warning box.
    void Fault(const QString& text);
    // Another lesson is open (a new scenario or a lesson file); the recent list may have changed.
    void LessonChanged();
    // The lesson was written to `path`; the recent list has it first.
    void LessonSaved(const QString& path);
    // The unsaved mark may have changed.
    void UnsavedChanged();

  private:
    void AddPoints();
    void RememberRecent(const QString& path);
    // The file a save goes to: `path`, else the lesson's own, else the one the user names (empty:
    // cancelled); absolute, with the lesson suffix.
    QString SaveTarget(const QString& path);
    // Hands the lesson to the saver for `target`; no write may be running.
    void Write(const QString& target);
    void Written();
    // Starts the save asked for while one was written.
    void SaveNext();
    void WriteFailed(tLessonFault fault, const QString& message, const QString& reason);

    tSessionHost& FHost;
    QString FProgramDir;
    std::unique_ptr<tSettings> FSettings;
    std::unique_ptr<tExperiment> FExperiment;
    std::unique_ptr<tDevice> FDevice;
    bool FFtdiReminderShown = false;  // the FTDI driver reminder comes once per program run

    // ---- the run ----
    QTimer* FMeasureTimer;
    tChannelValues FChannels;
    int FCurrentChannel = 0;
    int FCurrentSeries = 0;
    int64_t FStartCount = 0;
    int64_t FLastValueCount = 0;     // counter reading of the run's last value (or its start)
    bool FRunFaultReported = false;  // the current run has told its failure
    bool FPointsHeld = false;

    // ---- the lesson and its file ----
    std::unique_ptr<tLesson> FLesson;
    bool FReportEdited = false;
    QString FLessonPath;  // the file the lesson was opened from or saved to, empty = none yet
    std::unique_ptr<tLessonSaver> FSaver;  // its writer knows what the lesson's file holds
    QString FWriteTarget;                  // the file of the write in flight
    // A save asked for while one was written: its file, empty = the lesson's own.
    std::optional<QString> FSaveNext;
    bool FLastSaveOk = true;
    QString FStateFolder;  // the recent list; the autosave may be elsewhere (a network home)
    std::unique_ptr<tAutosave> FAutosave;
    bool FKeepAutosave = false;
    QStringList FRecentLessons;
};
