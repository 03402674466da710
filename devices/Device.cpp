// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Device.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstring>

#include "devices/Commexchange.h"
#include "devices/Devicetimings.h"
#include "devices/Ftdilibrary.h"
#include "devices/Ftdiport.h"
#include "devices/Hidexchange.h"
#include "devices/Portopeners.h"
#include "foundation/Exceptions.h"
#include "foundation/Functions.h"
#include "foundation/Logfile.h"
#include "foundation/Settings.h"
#include "foundation/Stringtable.h"

namespace {

// Removes every character with a code of 0x20 or below from both ends (blanks, controls, NUL).
QString TrimControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20) ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20) --end;
    return text.mid(begin, end - begin);
}

QByteArray Command(const QString& text) {
    QByteArray bytes = text.toLatin1();
    bytes.append('\0');  // every command ends with a NUL, which is sent too
    return bytes;
}

const uint8_t* Bytes(const QByteArray& bytes) {
    return reinterpret_cast<const uint8_t*>(bytes.constData());
}

}  // namespace

tDevice::tDevice(const QString& portName, tSettings* settings, tTransport transport)
    : FTransport(transport), FPortName(portName), FSettings(settings) {}

tDevice::~tDevice() {
    // The measurement thread borrows the port: it must be joined before the port closes.
    FMeasureThread.reset();
    try {
        tDevice::Cleanup();
    } catch (const std::exception& e) {
        // A destructor must not throw; the port objects are gone by now anyway.
        LogAdd(QString::fromLocal8Bit(e.what()));
    }
}

QString tDevice::PortPath() const {
    if (FTransport == tTransport::Serial && !FPortName.startsWith(u'/') && !IsSimulatedPath(FPortName))
        return QStringLiteral("\\\\.\\COM") + FPortName;
    return FPortName;
}

bool tDevice::Init(QString& error) {
    error.clear();
    try {
        switch (FTransport) {
            case tTransport::Ftdi:
                OpenFtdi();
                break;
            case tTransport::Serial:
                OpenSerial();
                break;
            case tTransport::Hid:
                OpenHid();
                break;
            default:
                // Only a cast from a foreign number gets here; the device then never opens.
                throw tException(QStringLiteral("tDevice::Init: Unknown device type"));
        }
    } catch (const tException& e) {
        Cleanup();
        error = e.Message();
        return false;
    }
    return true;
}

void tDevice::OpenSerial() {
    const QString path = PortPath();
    QString reason;
    if (path.startsWith(u'/') || IsSimulatedPath(path))
        FComm = OpenCommPortPath(path, reason);
    else
        reason = SystemErrorText(ENOENT);  // a Windows port number names no device node here
    if (!FComm) throw tException(FormatStr(msg::CannotOpenDevice, path, reason));
    tCommOpenOptions options;
    options.DisplayName = path;
    options.ReadIgnoreCD = true;
    FHubMode = ConfigureCommPort(*FComm, FSettings, options, nullptr);
}

void tDevice::OpenFtdi() {
    tFTDILibrary& library = tFTDILibrary::Instance();
    if (!library.IsLoaded()) throw tException(FtdiNotLoadedText());
    bool valid = false;
    const qlonglong value = FPortName.toLongLong(&valid, 10);
    const uint32_t locationId = valid ? static_cast<uint32_t>(value) : 0;
    QString reason;
    std::unique_ptr<tFtdiPort> port = tFtdiPort::Open(library, locationId, reason);
    if (!port) throw tException(FormatStr(msg::CannotOpenDevice, FPortName, reason));
    tFtdiPort* ftdi = port.get();
    FComm = std::move(port);
    tCommOpenOptions options;
    options.DisplayName = FPortName;
    options.ReadIgnoreCD = false;
    options.FtdiUsbTuning = true;
    FHubMode = ConfigureCommPort(*FComm, FSettings, options, ftdi);
}

void tDevice::OpenHid() {
    FHubMode = false;  // HID sensors speak the single-sensor dialect only
    QString reason;
    FHid = OpenHidPortPath(FPortName, reason);
    if (!FHid) throw tException(FormatStr(msg::CannotOpenDevice, FPortName, reason));
    int inputLength = 0;
    int outputLength = 0;
    switch (FHid->GetCaps(inputLength, outputLength)) {
        case tHidPort::CapsOk:
            break;
        case tHidPort::NoPreparsedData:
            throw tException(QStringLiteral("Unable to get HID preparsed data."));
        case tHidPort::NoCaps:
        default:
            throw tException(QStringLiteral("Unable to get HID Device Capabilities"));
    }
    FInputReportLength = inputLength;
    FOutputReportLength = outputLength;
}

bool tDevice::IsGone() const {
    return (FComm && FComm->IsGone()) || (FHid && FHid->IsGone());
}

void tDevice::Cleanup() {
    if (FComm) {
        // Lowering RTS and holding break tells the sensor that the host has let go of it.
        FComm->SetRts(false);
        FComm->SetBreak(true);
        FComm.reset();
    }
    FHid.reset();
}

bool tDevice::SendRequest(const uint8_t* request, uint32_t length, int timeoutMs, uint32_t replyLength,
                          uint8_t* reply) {
    if (FMeasureThread) {
        // The measurement thread owns the port until it has been joined.
        LogAdd(QStringLiteral("tDevice::SendRequest: the port is in use by a measurement"));
        return false;
    }
    switch (FTransport) {
        case tTransport::Ftdi:
            if (!tFTDILibrary::Instance().IsLoaded()) {
                LogAdd(FtdiNotLoadedText());
                return false;
            }
            [[fallthrough]];
        case tTransport::Serial:
            if (!FComm) break;
            return CommExchange(*FComm, FHubMode, request, length, timeoutMs, replyLength, reply);
        case tTransport::Hid: {
            if (!FHid) break;
            if (FHubMode) {
                LogAdd(QStringLiteral("HID Device not support HUB mode"));
                return false;
            }
            tHidLink link;
            link.Port = FHid.get();
            link.Settings = FSettings;
            link.InputReportLength = FInputReportLength;
            link.OutputReportLength = FOutputReportLength;
            link.CarryBuffer = &FCarryBuffer;
            return HidExchange(link, request, length, timeoutMs, replyLength, reply);
        }
    }
    LogAdd(QStringLiteral("tDevice::SendRequest: the device is not open"));
    return false;
}

tDeviceInfo tDevice::ParseInfoReply(const uint8_t* reply, uint32_t length) {
    QString rest = TrimControls(BinBytes(reply, length));
    tDeviceInfo info;
    info.Name = SplitToken(rest, u',', true);
    info.Vendor = SplitToken(rest, u',', true);
    info.Product = SplitToken(rest, u',', true);
    info.Revision = static_cast<uint8_t>(StrToIntDef(SplitToken(rest, u',', true), 0) & 0xFF);
    info.Firmware = SplitToken(rest, u',', true);
    info.SpeedText = SplitToken(rest, u',', true);
    return info;
}

bool tDevice::GetInfo(tDeviceInfo& info) {
    FDeviceName.clear();
    uint8_t reply[InfoReplyLength] = {};
    bool ok;
    if (FHubMode) {
        const QByteArray request = Command(QStringLiteral("INFO"));
        ok = SendRequest(Bytes(request), static_cast<uint32_t>(request.size()), 500, InfoReplyLength, reply);
    } else {
        const QByteArray request = Command(QStringLiteral("I"));
        uint8_t status = 0xFF;
        ok = SendRequest(Bytes(request), static_cast<uint32_t>(request.size()), 500, 1, &status) &&
             status == 0;
        // The second step sends nothing, so a reply that already arrived is not purged.
        if (ok) ok = SendRequest(nullptr, 0, 1000, InfoReplyLength, reply);
    }
    if (!ok) return false;
    info = ParseInfoReply(reply, InfoReplyLength);
    FDeviceName = info.Name;
    FSpeed = StrToIntDef(info.SpeedText, 0);
    return true;
}

bool tDevice::SetFrequency(int32_t mode, int32_t period) {
    FFrequencyProblem.clear();
    // The sensor keeps sampling at the period it had, while the chart places point k at
    // k × Freq: a refused period puts every point at a wrong time, which the user must hear of.
    auto refused = [&](const QString& what) {
        FFrequencyProblem = what + QCoreApplication::translate(
                                       "tDevice",
                                       "\r\nВремя точек на графике может не совпасть с настоящим: проверьте "
                                       "значение Freq в сценарии.");
        // untranslated: a log line
        LogAdd(QStringLiteral("Период опроса не задан: ") + what);
        return false;
    };
    const QString sensor = FDeviceName.isEmpty()
                               ? QCoreApplication::translate("tDevice", "Датчик")
                               : QCoreApplication::translate("tDevice", "Датчик %1").arg(FDeviceName);
    if (FHubMode) {
        const QByteArray request = Command(QStringLiteral("FREQ %1 %2").arg(mode).arg(period));
        uint8_t reply[InfoReplyLength] = {};
        if (!SendRequest(Bytes(request), static_cast<uint32_t>(request.size()), 500, InfoReplyLength, reply))
            return refused(
                QCoreApplication::translate("tDevice", "%1 не ответил на команду периода опроса (%2 мкс).")
                    .arg(sensor)
                    .arg(period));
        static const char kOk[] = "FREQ: Ok.";
        if (std::memcmp(reply, kOk, sizeof(kOk) - 1) == 0) return true;
        const QString answer = TrimControls(BinBytes(reply, InfoReplyLength));
        if (answer.startsWith(QStringLiteral("FREQ: Error.")))
            return refused(QCoreApplication::translate(
                               "tDevice",
                               "%1 отказался от периода опроса %2 мкс (ответ «%3»): такого периода он "
                               "не поддерживает.")
                               .arg(sensor)
                               .arg(period)
                               .arg(answer));
        return refused(
            QCoreApplication::translate("tDevice", "%1 не подтвердил период опроса %2 мкс (ответ «%3»).")
                .arg(sensor)
                .arg(period)
                .arg(answer));
    }
    const QByteArray request = Command(QStringLiteral("F %1").arg(period));
    uint8_t status = 0xFF;
    if (!SendRequest(Bytes(request), static_cast<uint32_t>(request.size()), 500, 1, &status))
        return refused(
            QCoreApplication::translate("tDevice", "%1 не ответил на команду периода опроса (%2 мкс).")
                .arg(sensor)
                .arg(period));
    if (status == 0) return true;
    return refused(
        QCoreApplication::translate("tDevice", "%1 отказался от периода опроса %2 мкс (код ответа %3).")
            .arg(sensor)
            .arg(period)
            .arg(status));
}

bool tDevice::Start(uint8_t startParameter) {
    // One thread on the port at a time: a measurement still running is stopped (joined, stop
    // command sent) before the new one starts.
    if (FMeasureThread) Stop();
    if (!IsOpen()) {
        LogAdd(QStringLiteral("tDevice::Start: the device is not open"));
        return false;
    }
    tMeasureSetup setup;
    setup.StartParameter = startParameter;
    setup.HidQuirks = tHidQuirks::FromSettings(FSettings);
    bool valid = false;
    const int number = FPortName.toInt(&valid, 10);
    setup.DeviceNumber = valid ? number : 0;
    setup.Transport = FTransport;
    setup.Speed = FSpeed;
    setup.Comm = FComm.get();
    setup.Hid = FHid.get();
    setup.FtdiLoaded = FTransport == tTransport::Ftdi ? tFTDILibrary::Instance().IsLoaded() : true;
    FMeasureThread = std::make_unique<tMeasureThread>(setup);
    return true;
}

void tDevice::RestoreLine() {
    if (FTransport == tTransport::Ftdi && !tFTDILibrary::Instance().IsLoaded())
        throw tException(FtdiNotLoadedText());
    if (FComm) RestoreSingleSpeed(*FComm);
}

bool tDevice::Stop() {
    if (FMeasureThread) {
        FMeasureThread->RequestStop();
        FMeasureThread->WaitFor();
        FMeasureThread.reset();
    }
    bool written;
    if (FHubMode) {
        const uint8_t stop = 0xFF;
        written = SendRequest(&stop, 1, 500, 0, nullptr);
    } else {
        const uint8_t stop[2] = {'T', 0};
        written = SendRequest(stop, 2, 500, 0, nullptr);
        // The thread left the line at the stream speed; commands run at 38400 bit/s.
        if (FTransport != tTransport::Hid) RestoreLine();
    }
    DeviceSleep(tDeviceTimings::Get().StopWaitMs);
    if (!written) return false;
    switch (FTransport) {
        case tTransport::Ftdi:
            if (!tFTDILibrary::Instance().IsLoaded()) throw tException(FtdiNotLoadedText());
            [[fallthrough]];
        case tTransport::Serial:
            if (FComm) FComm->Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
            break;
        case tTransport::Hid:
            if (FHid) FHid->Flush();
            break;
    }
    return true;
}

int32_t tDevice::GetPacketCount() {
    return FMeasureThread ? FMeasureThread->GetPacketCount() : 0;
}

void tDevice::TakePacket(tPacket& packet) {
    if (FMeasureThread) {
        FMeasureThread->PopPacket(packet);
        return;
    }
    packet.Data.reset();
    packet.Size = 0;
}

int tDevicePackets::GetPacketCount() {
    return FDevice.GetPacketCount();
}

void tDevicePackets::TakePacket(tPacket& out) {
    FDevice.TakePacket(out);
}
