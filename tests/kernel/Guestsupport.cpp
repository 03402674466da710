// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/kernel/Guestsupport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <thread>

#include "devices/Device.h"
#include "devices/Sensorsearch.h"
#include "measurement/Samples.h"
#include "tests/support/Wait.h"

namespace rig {

double MsSince(tClock::time_point start) {
    return std::chrono::duration<double, std::milli>(tClock::now() - start).count();
}

// ---- control line ----

bool tControl::Open(const QString& path) {
    FFd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FFd < 0) return false;
    termios raw{};
    ::tcgetattr(FFd, &raw);
    ::cfmakeraw(&raw);
    ::cfsetspeed(&raw, B115200);
    ::tcsetattr(FFd, TCSANOW, &raw);
    ::tcflush(FFd, TCIOFLUSH);
    return true;
}

QString tControl::Request(const QString& line, int timeoutMs) {
    if (FFd < 0) return QString();
    const std::string text = line.toStdString() + "\n";
    if (::write(FFd, text.data(), text.size()) != ssize_t(text.size())) return QString();
    const auto start = tClock::now();
    for (;;) {
        const size_t end = FPending.find('\n');
        if (end != std::string::npos) {
            std::string answer = FPending.substr(0, end);
            FPending.erase(0, end + 1);
            if (!answer.empty() && answer.back() == '\r') answer.pop_back();
            return QString::fromStdString(answer);
        }
        const int left = timeoutMs - int(MsSince(start));
        if (left <= 0) return QString();
        pollfd p{FFd, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0) continue;
        char buffer[4096];
        const ssize_t r = ::read(FFd, buffer, sizeof buffer);
        if (r <= 0) return QString();
        FPending.append(buffer, size_t(r));
    }
}

std::vector<double> tControl::Sent(const char* sensor) {
    const QStringList words = Request(QStringLiteral("SENT %1").arg(sensor)).split(u' ', Qt::SkipEmptyParts);
    std::vector<double> values;
    if (words.size() < 2 || words[0] != QStringLiteral("SENT")) return values;
    for (const QString& w : words.mid(2)) values.push_back(w.toDouble());
    return values;
}

tControl& Control() {
    static tControl control;
    return control;
}

// ---- log ----

tGuestLog::tGuestLog(const QString& fileName) {
    FFd = ::open(fileName.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    gLogFile = this;
}

tGuestLog::~tGuestLog() {
    gLogFile = nullptr;
    if (FFd >= 0) ::close(FFd);
}

void tGuestLog::Write(const QString& raw) {
    const QByteArray bytes = raw.toUtf8();
    // The stamp and its blank go; what stays is the message as the program wrote it. The stamp is
    // taken again here: only its length is reliable.
    QString line = raw.mid(Stamp().size() + 1);
    if (line.endsWith(QStringLiteral("\r\n"))) line.chop(2);
    std::lock_guard<std::mutex> lock(FLock);
    if (FFd >= 0 && ::write(FFd, bytes.constData(), size_t(bytes.size())) < 0) {
        // The file is only a copy for a person reading the rig's output afterwards.
    }
    FLines.append(line);
}

int tGuestLog::Size() {
    std::lock_guard<std::mutex> lock(FLock);
    return int(FLines.size());
}

QStringList tGuestLog::LinesFrom(int from) {
    std::lock_guard<std::mutex> lock(FLock);
    return FLines.mid(from);
}

QStringList tGuestLog::Find(const QString& prefix, int from) {
    QStringList found;
    for (const QString& line : LinesFrom(from))
        if (line.startsWith(prefix)) found << line;
    return found;
}

int tGuestLog::Count(const QString& line, int from) {
    int count = 0;
    for (const QString& l : LinesFrom(from))
        if (l == line) ++count;
    return count;
}

tGuestLog& Log() {
    static tGuestLog log(QStringLiteral("/run/rig/rovelin.log"));
    return log;
}

// ---- settings and search ----

std::unique_ptr<tSettings> LinuxSettings() {
    auto settings = std::make_unique<tSettings>(true);
    settings->SetSettingByName(QStringLiteral("UseFTDI"), QStringLiteral("0"));
    settings->SetSettingByName(QStringLiteral("UseCDC"), QStringLiteral("1"));
    settings->SetSettingByName(QStringLiteral("UseHID"), QStringLiteral("1"));
    settings->SetSettingByName(QStringLiteral("Timeout"), QStringLiteral("200"));
    return settings;
}

std::unique_ptr<tDevice> FindSerialSensor(tSettings& settings, const QString& name) {
    tSensorSearch search(&settings);
    return search.FindCOMSensor(name);
}

std::unique_ptr<tDevice> FindHidSensor(tSettings& settings, const QString& name) {
    tSensorSearch search(&settings);
    return search.FindHIDSensor(name);
}

// ---- a run ----

tRun Measure(tDevice& device, int values, int timeoutMs) {
    tRun run;
    run.Started = device.Start(0);
    if (!run.Started) return run;
    tDevicePackets source(device);
    tChannelValues channels;
    int current = 0;
    rovelin_test::WaitUntil(
        [&] {
            run.Packets += TakePackets(source, channels, current).Packets;
            return channels.Count(0) >= values;
        },
        timeoutMs);
    run.Stopped = device.Stop();
    for (int i = 0; i < channels.Count(0); ++i) run.Values.push_back(channels.At(0, i));
    return run;
}

int OffsetIn(const std::vector<double>& sent, const std::vector<double>& received) {
    if (received.empty()) return -1;
    for (size_t start = 0; start + received.size() <= sent.size(); ++start) {
        bool same = true;
        for (size_t i = 0; same && i < received.size(); ++i)
            same = std::fabs(sent[start + i] - received[i]) < 1e-9;
        if (same) return int(start);
    }
    return -1;
}

bool NodeExists(const QString& node) {
    struct stat st {};
    return ::stat(node.toLocal8Bit().constData(), &st) == 0;
}

}  // namespace rig
