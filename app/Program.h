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

class QWidget;

// The application object: every event is delivered inside the handler guard, so an exception
// from any slot, timer or event handler ends only that handler and never crosses the event loop.
class tApplication : public QApplication {
  public:
    tApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The product name: application display name and the main window's caption.
QString ProductTitle();

struct tProgramOptions {
    // Folder holding rovelin.cfg, rovelin.log and data/ (the executable's folder in the program).
    QString ProgramDir;
    // Key of the single-instance lock; empty = the program's own key.
    QString InstanceKey;
    // Creates the main window (default: TfmMain for ProgramDir). It may throw.
    std::function<std::unique_ptr<QWidget>(const QString& programDir)> CreateMainWindow;
    // Runs the event loop until the main window closes (default: QApplication::exec()).
    std::function<int()> RunLoop;
};

// Before the application object exists: the text to print when there is no screen to show the
// window on (no DISPLAY, no WAYLAND_DISPLAY, no platform chosen by QT_QPA_PLATFORM or -platform),
// empty otherwise. `arguments` are argv[1..]. Without it Qt would abort with a plug-in message.
QString NoDisplayText(const QStringList& arguments);

// Loads Qt's Russian texts for standard buttons and dialogs; false when they are not installed.
bool InstallRussianTranslation(QApplication& app);

// The lesson file named on the command line (a file manager's double-click passes one), as an
// absolute path; empty when there is none. Switches are not paths.
QString LessonArgument(const QStringList& arguments);

// The whole program run on an existing application object; `arguments` are argv[1..]. A lesson
// file among them opens once the window is up, or in the running instance when there is one.
int RunProgram(QApplication& app, const QStringList& arguments, tProgramOptions options = {});
