// SPDX-License-Identifier: GPL-3.0-or-later
// The program's entry logic, kept out of main() so tests can run it against a temporary folder.
// Order: title, single instance, log + start line, main window, event loop, stop line, log gone.
// Nothing escapes: errors end in the "Ошибка" box and the result is always 0.
#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "foundation/Stringtable.h"

class QWidget;

// The application object: every event is delivered inside the handler guard, so an exception
// from any slot, timer or event handler ends only that handler and never crosses the event loop.
class tApplication : public QApplication {
  public:
    tApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The program's version ("1.0.0").
QString ProgramVersion();
// The id of the desktop entry, icon and AppStream data ("ru.rovelin.rovelin"). The application
// takes it as its name and desktop file name, so the window's class (WM_CLASS on X11, the app id
// on Wayland) is the desktop entry's id and the desktop finds the entry and icon for the window.
QString DesktopId();
void SetProgramIdentity(QGuiApplication& app);

// The answer to `--help` or `--version` (also -h, /?, /HELP and /VERSION in the program's switch
// form), printed on standard output without a display or a window; empty for any other start.
// `arguments` are argv[1..].
QString CommandLineAnswer(const QStringList& arguments);

struct tProgramOptions {
    // Folder holding rovelin.cfg, rovelin.log and data/ (the executable's folder in the program).
    QString ProgramDir;
    // Key of the single-instance lock; empty = the program's own key.
    QString InstanceKey;
    // Creates the main window (default: TfmMain for ProgramDir). It may throw.
    std::function<std::unique_ptr<QWidget>(const QString& programDir)> CreateMainWindow;
    // Runs the event loop until the main window closes (default: QApplication::exec()).
    std::function<int()> RunLoop;
    // Folders whose programs are installed by the system (see IsInstalledProgramFolder).
    QStringList SystemPrefixes = {QStringLiteral("/usr")};
};

// Whether `programDir` (after following links) lies in one of `systemPrefixes`: /usr holds both
// the package manager's programs and /usr/local. Such a program writes nothing into its own
// folder at run time; its log goes to the user's state folder.
bool IsInstalledProgramFolder(const QString& programDir, const QStringList& systemPrefixes);

// Before the application object exists: the text to print when there is no screen to show the
// window on (no DISPLAY, no WAYLAND_DISPLAY, no platform chosen by QT_QPA_PLATFORM or -platform),
// empty otherwise. `arguments` are argv[1..]. Without it Qt would abort with a plug-in message.
QString NoDisplayText(const QStringList& arguments);

// The lesson file named on the command line (a file manager's double-click passes one), as an
// absolute path; empty when there is none. Switches are not paths.
QString LessonArgument(const QStringList& arguments);

// The whole program run on an existing application object; `arguments` are argv[1..]. A lesson
// file among them opens once the window is up, or in the running instance when there is one.
int RunProgram(QApplication& app, const QStringList& arguments, tProgramOptions options = {});
