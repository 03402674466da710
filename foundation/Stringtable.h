// SPDX-License-Identifier: GPL-3.0-or-later
// Program messages addressed by number. The texts live in resources/Stringtable.cpp.
#pragma once

#include <QString>

namespace msg {
enum : int {
    SystemError = 903,
    CannotSetTitle = 1000,
    CannotGetClass = 1001,
    CannotCreateSync = 1002,
    SettingsNotFound = 1004,
    CannotOpenDevice = 1007,
    CannotSetDevice = 1008,
    NoDevicesFound = 1013,
    NoComPorts = 1014,
    ProgramStart = 5000,
    ProgramStop = 5001,
    ExitQuestion = 5003,
    NoDescription = 5009,
    NewExperimentQuestion = 5010,
    ChooseExperimentFirst = 5011,
    CannotLoadScenario = 5012,
    NoReportTemplate = 5013,
    ReadError = 10002,
    WriteError = 10003,
    TitleError = 20000,
    TitleWarning = 20001,
    TitleConfirm = 20003,
    TitleInput = 20005,
};
}

// The text of message `id`; an unknown number gives an empty text.
QString LoadStr(int id);
// Message `id` with each %s replaced in order by the arguments.
QString FormatStr(int id, const QString& a1, const QString& a2 = QString());

// The product name: the application's display name and the main window's caption.
QString ProductTitle();
