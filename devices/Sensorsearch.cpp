#include "devices/Sensorsearch.h"

#include <functional>

#include "devices/Device.h"
#include "devices/Devicedetector.h"
#include "devices/Devicetimings.h"
#include "devices/Ftdilibrary.h"
#include "devices/Portopeners.h"
#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"
#include "foundation/Settingkeys.h"
#include "foundation/Settings.h"
#include "foundation/Stringtable.h"
#include "platform/Access.h"
#include "platform/Udevenum.h"

// ---------------------------------------------------------------------------------------------
// Candidate sources

QString tCandidateSource::DescribeAccessProblem(const QString&) {
    return QString();
}
QString tCandidateSource::DescribeNoSerialPorts() {
    return QString();
}

QStringList tSystemCandidateSource::SerialPorts() {
    QStringList ports = EnumerateSerialPorts();
    ports += ExtraSerialCandidates();
    return ports;
}

bool tSystemCandidateSource::FtdiLoaded() {
    return tFTDILibrary::Instance().IsLoaded();
}

FT_STATUS tSystemCandidateSource::FtdiCreateDeviceInfoList(FT_DWORD& count) {
    tFTDILibrary& library = tFTDILibrary::Instance();
    if (!library.IsLoaded()) return FT_OTHER_ERROR;
    return library.FT_CreateDeviceInfoList(&count);
}

FT_STATUS tSystemCandidateSource::FtdiGetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, FT_DWORD& count) {
    tFTDILibrary& library = tFTDILibrary::Instance();
    if (!library.IsLoaded()) return FT_OTHER_ERROR;
    return library.FT_GetDeviceInfoList(list, &count);
}

QStringList tSystemCandidateSource::HidInterfaces() {
    return EnumerateHidInterfaces();
}

QString tSystemCandidateSource::DescribeAccessProblem(const QString& path) {
    // Simulated sensors and FTDI locations have no node to look at; a HID path carries its
    // vendor and product after '#'.
    return path.startsWith(u'/') ? ::DescribeDeviceAccessProblem(path.section(u'#', 0, 0)) : QString();
}

QString tSystemCandidateSource::DescribeNoSerialPorts() {
    return ::DescribeNoSerialPorts();
}

// ---------------------------------------------------------------------------------------------
// Searches

namespace {

// Joins every detector still listed and closes the devices nobody took, also when a search ends
// by an error.
struct tDetectorReaper {
    std::vector<std::unique_ptr<tDeviceDetector>>& Detectors;
    ~tDetectorReaper() {
        for (auto& detector : Detectors) {
            if (!detector) continue;
            detector->WaitFor();
            delete detector->GetDevice();
            detector.reset();
        }
    }
};

QString NoDevicesText() {
    return LoadStr(msg::NoDevicesFound);
}

}  // namespace

tSensorSearch::tSensorSearch(tSettings* settings, tCandidateSource* source)
    : FSettings(settings), FSource(source), FPauseMs(tDeviceTimings::Get().CandidatePauseMs) {
    if (!FSource) {
        FOwnSource = std::make_unique<tSystemCandidateSource>();
        FSource = FOwnSource.get();
    }
}

tSensorSearch::~tSensorSearch() = default;

QString tSensorSearch::SerialIdentifier(const QString& portName) {
    if (portName.startsWith(u'/') || IsSimulatedPath(portName)) return portName;
    qsizetype i = 0;
    while (i < portName.size() && !(portName[i] >= u'0' && portName[i] <= u'9')) ++i;
    return portName.mid(i);
}

std::unique_ptr<tDeviceDetector> tSensorSearch::CreateDetector(const QString& identifier, tTransport transport) {
    return std::make_unique<tDeviceDetector>(identifier, FSettings, transport);
}

bool tSensorSearch::AddCandidate(tDetectors& detectors, const QString& identifier, tTransport transport,
                                 bool logFailure) {
    try {
        detectors.push_back(CreateDetector(identifier, transport));
    } catch (const tException& e) {
        if (!logFailure) throw;
        LogAdd(e.Message());
        return false;
    } catch (const std::exception& e) {
        // A thread that cannot be started is one lost candidate, not a lost search.
        if (!logFailure) throw tException(QString::fromLocal8Bit(e.what()));
        LogAdd(QString::fromLocal8Bit(e.what()));
        return false;
    }
    return true;
}

std::unique_ptr<tDevice> tSensorSearch::Search(const QString& logPrefix, const QString& sensorName,
                                               const std::function<void(tDetectors&)>& startCandidates) {
    tDetectors detectors;
    tDetectorReaper reaper{detectors};
    try {
        startCandidates(detectors);
        // The detectors have logged why a candidate failed; a node the system would not give us
        // also gets the administrator's reason (permissions, another program, a vanished node).
        std::unique_ptr<tDevice> found;
        for (auto& detector : detectors) {
            if (!detector) continue;
            detector->WaitFor();
            std::unique_ptr<tDevice> device(detector->GetDevice());
            const QString identifier = detector->PortName();
            detector.reset();
            if (!device) {
                const QString cause = FSource->DescribeAccessProblem(identifier);
                if (!cause.isEmpty()) LogAdd(logPrefix + identifier + QStringLiteral(": ") + cause);
                continue;
            }
            if (!found && device->GetName() == sensorName) found = std::move(device);
            // else: a device found but not wanted is closed at once (unique_ptr going out of scope)
        }
        if (!found) throw tException(NoDevicesText());
        return found;
    } catch (const tException& e) {
        LogAdd(logPrefix + e.Message());
    } catch (const std::exception& e) {
        LogAdd(logPrefix + QString::fromLocal8Bit(e.what()));
    }
    return nullptr;
}

std::unique_ptr<tDevice> tSensorSearch::FindFTDISensor(const QString& sensorName) {
    return Search(QStringLiteral("FTW32: "), sensorName, [this](tDetectors& detectors) {
        if (!FSource->FtdiLoaded())
            throw tException(QStringLiteral("Библиотека доступа через интерфейс FTDI не загружена!"));
        FT_DWORD count = 0;
        if (FSource->FtdiCreateDeviceInfoList(count) != FT_OK)
            throw tException(QStringLiteral("Невозможно получить список подключенных устройств."));
        std::vector<FT_DEVICE_LIST_INFO_NODE> records(count);
        if (count > 0) {
            FT_DWORD listed = count;
            if (FSource->FtdiGetDeviceInfoList(records.data(), listed) != FT_OK)
                throw tException(QStringLiteral("Невозможно получить данные о подключенных устройствах."));
            // A device plugged in between the two calls must not make us read past the records.
            if (listed < records.size()) records.resize(listed);
        }
        for (const FT_DEVICE_LIST_INFO_NODE& record : records) {
            AddCandidate(detectors, QString::number(record.LocId), tTransport::Ftdi, true);
            DeviceSleep(FPauseMs);
        }
    });
}

std::unique_ptr<tDevice> tSensorSearch::FindCOMSensor(const QString& sensorName) {
    return Search(QStringLiteral("COM: "), sensorName, [this](tDetectors& detectors) {
        const QStringList ports = FSource->SerialPorts();
        if (ports.isEmpty()) {
            const QString cause = FSource->DescribeNoSerialPorts();
            if (!cause.isEmpty()) LogAdd(QStringLiteral("COM: ") + cause);
            throw tException(LoadStr(msg::NoComPorts));
        }
        for (const QString& port : ports) {
            AddCandidate(detectors, SerialIdentifier(port), tTransport::Serial, true);
            DeviceSleep(FPauseMs);
        }
    });
}

std::unique_ptr<tDevice> tSensorSearch::FindHIDSensor(const QString& sensorName) {
    return Search(QStringLiteral("HID: "), sensorName, [this](tDetectors& detectors) {
        const QString vid = SettingText(FSettings, setting::HidVid).toUpper();
        const QString pid = SettingText(FSettings, setting::HidPid).toUpper();
        for (const QString& path : FSource->HidInterfaces()) {
            const QString upper = path.toUpper();
            if (!upper.contains(vid) || !upper.contains(pid)) continue;
            AddCandidate(detectors, path, tTransport::Hid, false);
            LogAdd(QStringLiteral("START DETECTION: ") + path);
            DeviceSleep(FPauseMs);
        }
    });
}
