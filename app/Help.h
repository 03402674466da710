// SPDX-License-Identifier: GPL-3.0-or-later
// tHelp: the window's help. F1 opens the user guide at the page of what the user looks at (the
// start page, a tab of the frame); «Сведения о программе» tells the version, the licence, where the
// log, the settings and the autosave are, and the sensor found. Both windows are not modal, one of
// each, kept beside the lesson. User-interface thread only.
#pragma once

#include <QDialog>
#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>

#include "experiments/Guidefm.h"

class TfmMain;
class TfrExperiment;

// What «Сведения о программе» tells; empty texts are said as "none".
struct tProgramInfo {
    QString Version;
    QString ProgramDir;    // rovelin.cfg and data/
    QString LogFile;       // where the log goes
    bool LogOn = false;    // the program was started with LOG
    QString SchoolFile;    // the school's settings read, empty when none
    QString UserFile;      // the user's own settings file (it may not exist)
    QString AutosaveFile;  // the autosave of the open lesson
    QString Sensor;  // "T100: /dev/ttyACM0 (последовательный порт)", empty when none
};
// The text of the particulars, one fact a line.
QString ProgramInfoText(const tProgramInfo& info);

// The guide's topic for what `frame` shows now (the start page's without a frame).
tGuideTopic GuideTopicOf(const TfrExperiment* frame);

class tHelp : public QObject {
    Q_OBJECT
  public:
    explicit tHelp(TfmMain& window);
    ~tHelp() override;

    // The guide at `topic`, brought to the front.
    void ShowGuide(tGuideTopic topic);
    // The guide at the page of what the window shows.
    void ShowGuideHere();
    // The particulars of this program and computer as they are now.
    void ShowInfo();
    tProgramInfo Info() const;

    TfmGuide* Guide() const { return FGuide; }
    QDialog* InfoWindow() const { return FInfo; }

  private:
    TfmMain& FWindow;
    QPointer<TfmGuide> FGuide;
    QPointer<QDialog> FInfo;
    QPointer<QPlainTextEdit> FInfoText;
};
