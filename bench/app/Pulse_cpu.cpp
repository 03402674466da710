// SPDX-License-Identifier: GPL-3.0-or-later
// The CPU share of a pulse run in the real window: the program's own entry in demo mode (/DEMO),
// the pulse scenario of the sample catalogue beside the built program, a run of the given minutes (default
// 10), and the process's CPU time (and the window thread's) per minute from /proc. Run it on the display
// whose cost is wanted, e.g. under Xvfb (bench/app/pulse_cpu.sh).
//   pulse_cpu [minutes]
#include <unistd.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/Mainfm.h"
#include "app/Program.h"
#include "experiments/Experiment.h"

namespace {
const QString kGroup = QStringLiteral("4. Моё тело");
const QString kScenario = QStringLiteral("Пульс в покое и после приседаний");

// CPU ticks (user + system) of /proc/self/stat or of one thread's stat file.
long long CpuTicks(const QString& statPath) {
    QFile file(statPath);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    const QByteArray line = file.readAll();
    // The fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : 0;
}

class tPulseChooser : public tScenarioChooser {
  public:
    explicit tPulseChooser(QString root) : FRoot(std::move(root)) {}
    bool Execute() override { return true; }
    bool LoadScenario(tExperiment* record) override {
        return ::LoadScenario(kScenario, kGroup + u'/' + kScenario + u'/', FRoot, record);
    }

  private:
    QString FRoot;
};

class tPulseWindow : public TfmMain {
  public:
    using TfmMain::TfmMain;
    std::unique_ptr<tScenarioChooser> CreateChooser(const QString& root) override {
        return std::make_unique<tPulseChooser>(root);
    }
};
}  // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());  // no autosave in the user's folder
    tApplication app(argc, argv);
    // The build puts rovelin.cfg and the sample catalogue beside the programs.
    tProgramOptions options;
    options.ProgramDir = QCoreApplication::applicationDirPath();
    options.InstanceKey = QStringLiteral("rovelin-pulse-cpu-%1").arg(getpid());
    tPulseWindow* window = nullptr;
    options.CreateMainWindow = [&window](const QString& dir) {
        auto w = std::make_unique<tPulseWindow>(dir);
        window = w.get();
        return std::unique_ptr<QWidget>(std::move(w));
    };
    int result = 0;
    options.RunLoop = [&] {
        window->acExperimentChoose->trigger();
        if (!window->Device()) {
            std::fprintf(stderr, "pulse_cpu: the demo pulse sensor did not connect\n");
            result = 1;
            return 0;
        }
        window->acExperimentStart->trigger();
        const QString mainThread = QStringLiteral("/proc/self/task/%1/stat").arg(getpid());
        const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
        std::vector<double> process, thread;
        QElapsedTimer clock;
        clock.start();
        long long processMark = CpuTicks(QStringLiteral("/proc/self/stat")),
                  threadMark = CpuTicks(mainThread);
        for (int minute = 1; minute <= minutes; ++minute) {
            QEventLoop loop;
            QTimer::singleShot(static_cast<int>(minute * 60000 - clock.elapsed()), &loop, &QEventLoop::quit);
            loop.exec();
            const long long p = CpuTicks(QStringLiteral("/proc/self/stat")), t = CpuTicks(mainThread);
            process.push_back((p - processMark) / tick / 60 * 100);
            thread.push_back((t - threadMark) / tick / 60 * 100);
            processMark = p;
            threadMark = t;
            std::printf("minute %2d: process %.2f %%, window thread %.2f %%\n", minute, process.back(),
                        thread.back());
            std::fflush(stdout);
        }
        window->acExperimentStop->trigger();
        std::vector<double> sorted = process;
        std::sort(sorted.begin(), sorted.end());
        std::printf("median of %d minutes: process %.2f %% of a core\n", minutes, sorted[sorted.size() / 2]);
        // The program ends without the exit question: the window goes with RunProgram.
        return 0;
    };
    RunProgram(app, {QStringLiteral("/DEMO")}, options);
    return result;
}
