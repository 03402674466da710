// SPDX-License-Identifier: GPL-3.0-or-later
// rovelin_kernel_rig: the host side of the kernel rig (tests/kernel/Rig.h). Starts QEMU with the
// kernel and initramfs that scripts/kernel-test.sh prepared, plays the two USB serial sensors,
// unplugs and re-plugs them through QEMU's monitor when the guest asks, copies the guest's console
// to its own output, and ends with the guest tests' exit code (1 when the guest never reported
// one, or when it ran out of time).
//
//   rovelin_kernel_rig --qemu <program> --kernel <image> --initrd <file> --guest <test program>
//                      --workdir <folder> [--timeout <seconds>] [-- <arguments of the test program>]
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/Simwire.h"
#include "tests/kernel/Rig.h"

namespace {

using tClock = std::chrono::steady_clock;

double SecondsSince(tClock::time_point start) {
    return std::chrono::duration<double>(tClock::now() - start).count();
}

void Say(const QString& text) {
    std::fprintf(stdout, "rig: %s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

// Connects to a unix socket that QEMU serves, waiting for QEMU to create it.
int ConnectUnix(const QString& path, int waitMs) {
    const QByteArray bytes = path.toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(bytes.size()) >= sizeof address.sun_path) return -1;
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    const auto start = tClock::now();
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
        ::close(fd);
        if (SecondsSince(start) * 1000 > waitMs) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// One line from a descriptor (without the line end); false on end of file, error or time-out.
bool ReadLine(int fd, std::string& pending, std::string& line, int timeoutMs) {
    const auto start = tClock::now();
    for (;;) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos) {
            line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pending.erase(0, end + 1);
            return true;
        }
        const int left = timeoutMs - int(SecondsSince(start) * 1000);
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0) continue;
        char buffer[4096];
        const ssize_t r = ::read(fd, buffer, sizeof buffer);
        if (r <= 0) return false;
        pending.append(buffer, size_t(r));
    }
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t w = ::write(fd, text.data() + done, text.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += size_t(w);
    }
    return true;
}

// QEMU's machine protocol: one JSON command, one answer (events in between are skipped).
class tMonitor {
  public:
    bool Connect(const QString& path) {
        FFd = ConnectUnix(path, 20000);
        if (FFd < 0) return false;
        std::string greeting;
        return ReadLine(FFd, FPending, greeting, 20000) && Execute("{\"execute\":\"qmp_capabilities\"}");
    }
    ~tMonitor() {
        if (FFd >= 0) ::close(FFd);
    }
    // True when QEMU answered with "return"; `answer` keeps the answer line.
    bool Execute(const std::string& command, std::string* answer = nullptr) {
        if (!WriteAll(FFd, command + "\n")) return false;
        std::string line;
        while (ReadLine(FFd, FPending, line, 20000)) {
            if (line.find("\"event\"") != std::string::npos) continue;
            if (answer) *answer = line;
            return line.find("\"return\"") != std::string::npos;
        }
        return false;
    }

  private:
    int FFd = -1;
    std::string FPending;
};

// One USB serial sensor of the host: a QEMU usb-serial device on a chardev, and the simulated
// sensor on the chardev's other end.
class tUsbSensor {
  public:
    tUsbSensor(const rig::tRigSensor& sensor, bool onPty, const QString& socketPath)
        : FSensor(sensor), FOnPty(onPty), FSocketPath(socketPath) {}
    ~tUsbSensor() {
        FWire.reset();
        if (FFd >= 0) ::close(FFd);
        if (FPtySlave >= 0) ::close(FPtySlave);
    }

    // Before QEMU starts: the pty pair (its slave is the chardev's device).
    bool Prepare(QString& error) {
        if (!FOnPty) return true;
        FFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FFd < 0 || ::grantpt(FFd) != 0 || ::unlockpt(FFd) != 0) {
            error = QStringLiteral("no pseudo-terminal: %1").arg(QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
        FSlavePath = QString::fromLocal8Bit(::ptsname(FFd));
        // Held open by us as well, so the master never sees the slave closed while QEMU opens it.
        FPtySlave = ::open(FSlavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios raw{};
        ::tcgetattr(FPtySlave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(FPtySlave, TCSANOW, &raw);
        return true;
    }

    QStringList QemuArguments() const {
        const QString id = QString::fromLatin1(FSensor.Name);
        const QString chardev =
            FOnPty ? QStringLiteral("serial,id=%1,path=%2").arg(id, FSlavePath)
                   : QStringLiteral("socket,id=%1,path=%2,server=on,wait=off").arg(id, FSocketPath);
        return {QStringLiteral("-chardev"), chardev, QStringLiteral("-device"), DeviceSpec()};
    }

    // After QEMU started: the sensor powers up at its end of the chardev.
    bool Attach(QString& error) {
        if (!FOnPty) {
            FFd = ConnectUnix(FSocketPath, 20000);
            if (FFd < 0) {
                error = QStringLiteral("cannot connect to %1").arg(FSocketPath);
                return false;
            }
        }
        FWire = std::make_unique<tSimWire>(std::make_shared<tSimSensor>(rig::SensorConfig(FSensor)), FFd);
        return true;
    }

    bool Unplug(tMonitor& monitor, QString& error) {
        // The sensor loses power with its cable; nothing it had not sent yet arrives anywhere.
        if (FWire) FWire->Sensor().Unplug();
        std::string answer;
        if (!monitor.Execute(QStringLiteral("{\"execute\":\"device_del\",\"arguments\":{\"id\":\"%1dev\"}}")
                                 .arg(QString::fromLatin1(FSensor.Name))
                                 .toStdString(),
                             &answer)) {
            error = QString::fromStdString(answer);
            return false;
        }
        FWire.reset();
        if (FOnPty) {
            ::tcflush(FFd, TCIOFLUSH);
        } else {
            ::close(FFd);
            FFd = -1;
        }
        return true;
    }

    bool Plug(tMonitor& monitor, QString& error) {
        if (FOnPty) ::tcflush(FFd, TCIOFLUSH);
        std::string answer;
        const QString device = DeviceSpec();
        // device_add takes the same properties as -device, as JSON members.
        QString json = QStringLiteral("{\"execute\":\"device_add\",\"arguments\":{\"driver\":\"usb-serial\"");
        for (const QString& part : device.split(u',').mid(1)) {
            const QString key = part.section(u'=', 0, 0);
            const QString value = part.section(u'=', 1);
            json += QStringLiteral(",\"%1\":\"%2\"").arg(key, value);
        }
        json += QStringLiteral("}}");
        if (!monitor.Execute(json.toStdString(), &answer)) {
            error = QString::fromStdString(answer);
            return false;
        }
        return Attach(error);
    }

    QString Sent() const {
        if (!FWire) return QStringLiteral("SENT 0");
        const std::vector<double> values = FWire->Sensor().SentValues(0);
        QString line = QStringLiteral("SENT %1").arg(values.size());
        for (double v : values) line += u' ' + QString::number(v, 'g', 17);
        return line;
    }

  private:
    QString DeviceSpec() const {
        const QString id = QString::fromLatin1(FSensor.Name);
        return QStringLiteral("usb-serial,chardev=%1,id=%1dev,bus=xhci.0").arg(id);
    }

    rig::tRigSensor FSensor;
    bool FOnPty;
    QString FSocketPath;
    QString FSlavePath;
    int FFd = -1;
    int FPtySlave = -1;
    std::unique_ptr<tSimWire> FWire;
};

struct tOptions {
    QString Qemu, Kernel, Initrd, Guest, Workdir;
    QStringList GuestArguments;
    int TimeoutS = 540;
};

bool ParseOptions(int argc, char** argv, tOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QStringLiteral("--")) {
            for (++i; i < argc; ++i) options.GuestArguments << QString::fromLocal8Bit(argv[i]);
            break;
        }
        if (i + 1 >= argc) return false;
        const QString v = QString::fromLocal8Bit(argv[++i]);
        if (a == QStringLiteral("--qemu"))
            options.Qemu = v;
        else if (a == QStringLiteral("--kernel"))
            options.Kernel = v;
        else if (a == QStringLiteral("--initrd"))
            options.Initrd = v;
        else if (a == QStringLiteral("--guest"))
            options.Guest = v;
        else if (a == QStringLiteral("--workdir"))
            options.Workdir = v;
        else if (a == QStringLiteral("--timeout"))
            options.TimeoutS = v.toInt();
        else
            return false;
    }
    return !options.Qemu.isEmpty() && !options.Kernel.isEmpty() && !options.Initrd.isEmpty() &&
           !options.Guest.isEmpty() && !options.Workdir.isEmpty() && options.TimeoutS > 0;
}

QString ShellQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

// The command the guest's init runs inside the host's root: the tests, with a fresh home.
bool WriteGuestScript(const tOptions& options, const QString& path) {
    QString script = QStringLiteral(
        "#!/bin/sh\n"
        "export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 HOME=/run/rig/home TMPDIR=/run/rig/tmp "
        "XDG_RUNTIME_DIR=/run/rig/xdg\n"
        "mkdir -p $HOME $TMPDIR $XDG_RUNTIME_DIR && chmod 700 $XDG_RUNTIME_DIR\n"
        "exec ");
    script += ShellQuoted(options.Guest) + QStringLiteral(" --control /dev/ttyS1");
    for (const QString& a : options.GuestArguments) script += u' ' + ShellQuoted(a);
    script += u'\n';
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(script.toUtf8()) > 0;
}

pid_t StartQemu(const QStringList& arguments, int& output) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    std::vector<QByteArray> storage;
    for (const QString& a : arguments) storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : storage) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(pipeFds[1], STDERR_FILENO);
        const int nullFd = ::open("/dev/null", O_RDONLY);
        ::dup2(nullFd, STDIN_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    output = pipeFds[0];
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    tOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s --qemu <program> --kernel <image> --initrd <file> --guest <test program> "
                     "--workdir <folder> [--timeout <seconds>] [-- <test arguments>]\n",
                     argv[0]);
        return 2;
    }
    QDir().mkpath(options.Workdir);
    const QString script = QDir(options.Workdir).absoluteFilePath(QStringLiteral("guest.sh"));
    if (!WriteGuestScript(options, script)) {
        Say(QStringLiteral("cannot write %1").arg(script));
        return 1;
    }
    // Unix socket paths must be short: they live in a folder of their own under /tmp.
    char socketDirTemplate[] = "/tmp/rovelin-rig-XXXXXX";
    const char* socketDir = ::mkdtemp(socketDirTemplate);
    if (!socketDir) {
        Say(QStringLiteral("cannot make a folder for the sockets"));
        return 1;
    }
    const QString dir = QString::fromLocal8Bit(socketDir);

    tUsbSensor hub(rig::kHubSensor, true, QString());
    tUsbSensor single(rig::kSingleSensor, false, dir + QStringLiteral("/single.sock"));
    std::map<std::string, tUsbSensor*> sensors{{rig::kHubSensor.Name, &hub},
                                               {rig::kSingleSensor.Name, &single}};
    QString error;
    if (!hub.Prepare(error)) {
        Say(error);
        return 1;
    }

    QStringList arguments{
        options.Qemu,
        QStringLiteral("-accel"),
        QStringLiteral("tcg"),
        QStringLiteral("-m"),
        QStringLiteral("1024"),
        QStringLiteral("-smp"),
        QStringLiteral("1"),
        QStringLiteral("-nodefaults"),
        QStringLiteral("-no-user-config"),
        QStringLiteral("-display"),
        QStringLiteral("none"),
        QStringLiteral("-no-reboot"),
        QStringLiteral("-serial"),
        QStringLiteral("stdio"),
        QStringLiteral("-chardev"),
        QStringLiteral("socket,id=control,path=%1/control.sock,server=on,wait=off").arg(dir),
        QStringLiteral("-serial"),
        QStringLiteral("chardev:control"),
        QStringLiteral("-qmp"),
        QStringLiteral("unix:%1/qmp.sock,server=on,wait=off").arg(dir),
        QStringLiteral("-kernel"),
        options.Kernel,
        QStringLiteral("-initrd"),
        options.Initrd,
        QStringLiteral("-append"),
        QStringLiteral("console=ttyS0 quiet loglevel=3 panic=-1 rig.script=%1").arg(script),
        QStringLiteral("-virtfs"),
        QStringLiteral("local,path=/,mount_tag=hostroot,security_model=none,readonly=on,"
                       "multidevs=remap"),
        QStringLiteral("-device"),
        QStringLiteral("qemu-xhci,id=xhci")};
    arguments << hub.QemuArguments() << single.QemuArguments();

    const auto start = tClock::now();
    int console = -1;
    const pid_t qemu = StartQemu(arguments, console);
    if (qemu < 0) {
        Say(QStringLiteral("cannot start %1").arg(options.Qemu));
        return 1;
    }
    auto finish = [&](int code) {
        if (::waitpid(qemu, nullptr, WNOHANG) == 0) {
            ::kill(qemu, SIGKILL);
            ::waitpid(qemu, nullptr, 0);
        }
        QDir(dir).removeRecursively();
        Say(QStringLiteral("finished after %1 s with exit code %2")
                .arg(SecondsSince(start), 0, 'f', 1)
                .arg(code));
        return code;
    };

    tMonitor monitor;
    if (!monitor.Connect(dir + QStringLiteral("/qmp.sock"))) {
        Say(QStringLiteral("QEMU's monitor does not answer"));
        return finish(1);
    }
    if (!single.Attach(error) || !hub.Attach(error)) {
        Say(error);
        return finish(1);
    }
    const int control = ConnectUnix(dir + QStringLiteral("/control.sock"), 20000);
    if (control < 0) {
        Say(QStringLiteral("the control line does not connect"));
        return finish(1);
    }

    int exitCode = -1;
    std::string consolePending, controlPending;
    bool consoleOpen = true;
    while (consoleOpen) {
        if (SecondsSince(start) > options.TimeoutS) {
            Say(QStringLiteral("the guest did not finish within %1 s").arg(options.TimeoutS));
            return finish(1);
        }
        pollfd p[2] = {{console, POLLIN, 0}, {control, POLLIN, 0}};
        if (::poll(p, 2, 1000) <= 0) continue;
        if (p[0].revents & (POLLIN | POLLHUP)) {
            char buffer[4096];
            const ssize_t r = ::read(console, buffer, sizeof buffer);
            if (r <= 0) {
                consoleOpen = false;
            } else {
                consolePending.append(buffer, size_t(r));
                size_t end;
                while ((end = consolePending.find('\n')) != std::string::npos) {
                    std::string line = consolePending.substr(0, end);
                    consolePending.erase(0, end + 1);
                    if (!line.empty() && line.back() == '\r') line.pop_back();
                    std::fprintf(stdout, "guest %6.1f| %s\n", SecondsSince(start), line.c_str());
                    const size_t marker = line.find(rig::kExitMarker);
                    if (marker != std::string::npos)
                        exitCode = std::atoi(line.c_str() + marker + std::strlen(rig::kExitMarker));
                }
                std::fflush(stdout);
            }
        }
        if (p[1].revents & POLLIN) {
            std::string request;
            if (!ReadLine(control, controlPending, request, 1000)) continue;
            const QString line = QString::fromStdString(request).trimmed();
            const QString verb = line.section(u' ', 0, 0);
            const std::string name = line.section(u' ', 1, 1).toStdString();
            QString reply;
            auto it = sensors.find(name);
            if (it == sensors.end()) {
                reply = QStringLiteral("ERR no sensor named '%1'").arg(QString::fromStdString(name));
            } else if (verb == QStringLiteral("UNPLUG") || verb == QStringLiteral("PLUG")) {
                const bool unplug = verb == QStringLiteral("UNPLUG");
                error.clear();
                const bool ok =
                    unplug ? it->second->Unplug(monitor, error) : it->second->Plug(monitor, error);
                reply = ok ? QStringLiteral("OK") : QStringLiteral("ERR ") + error;
                Say(QStringLiteral("%1 %2 at %3 s: %4")
                        .arg(unplug ? QStringLiteral("unplugged") : QStringLiteral("plugged in"))
                        .arg(QString::fromStdString(name))
                        .arg(SecondsSince(start), 0, 'f', 1)
                        .arg(reply));
            } else if (verb == QStringLiteral("SENT")) {
                reply = it->second->Sent();
            } else {
                reply = QStringLiteral("ERR unknown request '%1'").arg(line);
            }
            WriteAll(control, reply.toStdString() + "\n");
        }
    }
    ::close(control);
    ::waitpid(qemu, nullptr, 0);
    if (exitCode < 0) {
        Say(QStringLiteral("the guest ended without reporting the tests' result"));
        return finish(1);
    }
    return finish(exitCode);
}
