// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Sensorsearch.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
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

tAccessProblem tCandidateSource::DescribeAccessProblem(const QString&) {
    return {};
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

tAccessProblem tSystemCandidateSource::DescribeAccessProblem(const QString& path) {
    // Simulated sensors and FTDI locations have no node to look at; a HID path carries its
    // vendor and product after '#'.
    return path.startsWith(u'/') ? ProbeDeviceAccess(path.section(u'#', 0, 0)) : tAccessProblem{};
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

// Why a search had no candidate at all, for the transports whose list has no cause of its own.
QString NoCandidatesText(tTransport transport, const QString& vid, const QString& pid) {
    if (transport == tTransport::Hid)
        return QCoreApplication::translate(
                   "tSensorSearch",
                   "Нет ни одного HID-устройства датчика (%1, %2) среди /dev/hidraw*: датчик не подключён "
                   "к ПК, или это не датчик программы (настройки HID_VID и HID_PID).")
            .arg(vid, pid);
    return QCoreApplication::translate(
        "tSensorSearch",
        "Библиотека D2XX не видит ни одного устройства FTDI: датчик не подключён к ПК, или его занял "
        "драйвер ядра ftdi_sio (тогда поставьте UseFTDI=0 и UseCDC=1).");
}

// "L200 на /dev/ttyACM0, K330 на /dev/ttyUSB0": the ports for the log, the places for the user.
QString SensorList(const std::vector<tSearchFindings::tSensor>& sensors, bool places) {
    QStringList items;
    for (const tSearchFindings::tSensor& sensor : sensors)
        items << QCoreApplication::translate("tSensorSearch", "%1 на %2")
                     .arg(sensor.Name, places ? sensor.Place : sensor.Port);
    return items.join(QStringLiteral(", "));
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

QStringList tSensorSearch::NamedSerialPorts(tSettings* settings) {
    static const QRegularExpression separators(QStringLiteral("[;,\\s]+"));
    return SettingText(settings, setting::SerialPorts).split(separators, Qt::SkipEmptyParts);
}

QString tSensorSearch::CandidatePlace(const QString& identifier, tTransport transport) {
    if (IsSimulatedPath(identifier))
        return QCoreApplication::translate("tSensorSearch", "демонстрационном порту");
    if (transport == tTransport::Ftdi)
        return QCoreApplication::translate("tSensorSearch", "устройстве FTDI %1").arg(identifier);
    if (transport == tTransport::Hid) return identifier.section(u'#', 0, 0);
    return identifier;
}

QString tSensorSearch::NotFoundAdvice(const QString& sensorName, const tSearchFindings& findings) {
    QStringList lines;
    lines << QCoreApplication::translate("tSensorSearch", "Для этого опыта нужен датчик %1.").arg(sensorName);
    if (findings.Sensors.empty())
        lines << QCoreApplication::translate("tSensorSearch", "Ни одного датчика не найдено.");
    else
        lines << QCoreApplication::translate("tSensorSearch", "Найдены: %1.")
                     .arg(SensorList(findings.Sensors, true));
    const auto problem = [&](tAccessKind kind) -> const tAccessProblem* {
        for (const tAccessProblem& p : findings.Problems)
            if (p.Kind == kind) return &p;
        return nullptr;
    };
    // The first thing to check: what most likely hides the wanted sensor.
    QString check;
    if (findings.Searches == 0) {
        check = QCoreApplication::translate(
            "tSensorSearch",
            "в файле rovelin.cfg выключены все способы поиска датчиков (UseFTDI, UseCDC, UseHID).");
    } else if (const tAccessProblem* p = problem(tAccessKind::Permission)) {
        check = QCoreApplication::translate(
                    "tSensorSearch",
                    "у пользователя нет прав на доступ к датчику. Попросите администратора установить "
                    "правило udev программы (%1) или добавить пользователя в группу '%2' и войти в "
                    "систему заново, затем переподключите датчик.")
                    .arg(QString::fromLatin1(UdevRulesFileName), p->Group);
    } else if (problem(tAccessKind::Busy)) {
        check = QCoreApplication::translate(
            "tSensorSearch", "датчик занят другой программой. Закройте её и нажмите «Подключение».");
    } else if (!findings.Sensors.empty()) {
        check = QCoreApplication::translate("tSensorSearch",
                                            "подключите датчик %1 вместо найденного и нажмите «Подключение».")
                    .arg(sensorName);
    } else if (!findings.Silent.isEmpty() || problem(tAccessKind::Failed)) {
        check = QCoreApplication::translate(
            "tSensorSearch",
            "датчик не ответил. Отключите его от компьютера, подключите снова, подождите несколько "
            "секунд и нажмите «Подключение».");
    } else {
        check = QCoreApplication::translate(
                    "tSensorSearch",
                    "подключите датчик %1 к компьютеру, подождите несколько секунд и нажмите «Подключение».")
                    .arg(sensorName);
    }
    lines << QCoreApplication::translate("tSensorSearch", "Проверьте: ") + check;
    return lines.join(QStringLiteral("\r\n"));
}

QString tSensorSearch::SerialIdentifier(const QString& portName) {
    if (portName.startsWith(u'/') || IsSimulatedPath(portName)) return portName;
    qsizetype i = 0;
    while (i < portName.size() && !(portName[i] >= u'0' && portName[i] <= u'9')) ++i;
    return portName.mid(i);
}

std::unique_ptr<tDeviceDetector> tSensorSearch::CreateDetector(const QString& identifier,
                                                               tTransport transport) {
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

void tSensorSearch::Pause(int ms) {
    if (!FWaitHook) {
        DeviceSleep(ms);
        return;
    }
    for (int left = ms; left > 0; left -= WaitSliceMs) {
        DeviceSleep(std::min(left, WaitSliceMs));
        FWaitHook();
    }
}

void tSensorSearch::Await(tDeviceDetector& detector) {
    if (!FWaitHook) {
        detector.WaitFor();
        return;
    }
    while (!detector.WaitFor(WaitSliceMs)) FWaitHook();
}

std::unique_ptr<tDevice> tSensorSearch::Search(
    const QString& logPrefix, tTransport transport, const QString& sensorName,
    const std::function<void(tDetectors&, QStringList&)>& startCandidates) {
    ++FFindings.Searches;
    tDetectors detectors;
    tDetectorReaper reaper{detectors};
    // Lines that explain a search without a match, written after its error line.
    QStringList diagnosis;
    try {
        startCandidates(detectors, diagnosis);
        // The detectors have logged why a candidate failed; a node the system would not give us
        // also gets the administrator's reason (permissions, another program, a vanished node).
        std::unique_ptr<tDevice> found;
        std::vector<tSearchFindings::tSensor> others;
        for (auto& detector : detectors) {
            if (!detector) continue;
            Await(*detector);
            std::unique_ptr<tDevice> device(detector->GetDevice());
            const QString identifier = detector->PortName();
            const QString place = CandidatePlace(identifier, transport);
            detector.reset();
            if (!device) {
                const tAccessProblem problem = FSource->DescribeAccessProblem(identifier);
                if (problem.Kind != tAccessKind::None) {
                    LogAdd(logPrefix + identifier + QStringLiteral(": ") + problem.Text);
                    FFindings.Problems.push_back(problem);
                } else {
                    FFindings.Silent << place;
                    diagnosis << QCoreApplication::translate(
                                     "tSensorSearch",
                                     "Устройство '%1' не удалось опознать как датчик (причина — в строке "
                                     "DevID выше).")
                                     .arg(identifier);
                }
                continue;
            }
            FFindings.Sensors.push_back({device->GetName(), identifier, place});
            if (!found && device->GetName() == sensorName)
                found = std::move(device);
            else if (device->GetName() != sensorName)
                others.push_back(FFindings.Sensors.back());
            // a device found but not wanted is closed at once (unique_ptr going out of scope)
        }
        if (!others.empty())
            // untranslated: a log line
            diagnosis.prepend(QStringLiteral("Найдены датчики: %1; ни один не называется '%2'.")
                                  .arg(SensorList(others, false), sensorName));
        if (!found) throw tException(NoDevicesText());
        return found;
    } catch (const tException& e) {
        LogAdd(logPrefix + e.Message());
    } catch (const std::exception& e) {
        LogAdd(logPrefix + QString::fromLocal8Bit(e.what()));
    }
    for (const QString& line : diagnosis) LogAdd(logPrefix + line);
    return nullptr;
}

std::unique_ptr<tDevice> tSensorSearch::FindFTDISensor(const QString& sensorName) {
    return Search(
        QStringLiteral("FTW32: "), tTransport::Ftdi, sensorName,
        [this](tDetectors& detectors, QStringList& diagnosis) {
            if (!FSource->FtdiLoaded())
                // untranslated: a log line (the search logs its failures)
                throw tException(QStringLiteral("Библиотека доступа через интерфейс FTDI не загружена!"));
            FT_DWORD count = 0;
            if (FSource->FtdiCreateDeviceInfoList(count) != FT_OK)
                // untranslated: a log line
                throw tException(QStringLiteral("Невозможно получить список подключенных устройств."));
            std::vector<FT_DEVICE_LIST_INFO_NODE> records(count);
            if (count > 0) {
                FT_DWORD listed = count;
                if (FSource->FtdiGetDeviceInfoList(records.data(), listed) != FT_OK)
                    throw tException(
                        // untranslated: a log line
                        QStringLiteral("Невозможно получить данные о подключенных устройствах."));
                // A device plugged in between the two calls must not make us read past the records.
                if (listed < records.size()) records.resize(listed);
            }
            if (records.empty()) diagnosis << NoCandidatesText(tTransport::Ftdi, {}, {});
            for (const FT_DEVICE_LIST_INFO_NODE& record : records) {
                AddCandidate(detectors, QString::number(record.LocId), tTransport::Ftdi, true);
                Pause(FPauseMs);
            }
        });
}

std::unique_ptr<tDevice> tSensorSearch::FindCOMSensor(const QString& sensorName) {
    return Search(QStringLiteral("COM: "), tTransport::Serial, sensorName,
                  [this](tDetectors& detectors, QStringList&) {
                      QStringList ports = FSource->SerialPorts();
                      for (const QString& named : NamedSerialPorts(FSettings))
                          if (!ports.contains(named)) ports << named;
                      if (ports.isEmpty()) {
                          const QString cause = FSource->DescribeNoSerialPorts();
                          if (!cause.isEmpty()) LogAdd(QStringLiteral("COM: ") + cause);
                          throw tException(LoadStr(msg::NoComPorts));
                      }
                      for (const QString& port : ports) {
                          AddCandidate(detectors, SerialIdentifier(port), tTransport::Serial, true);
                          Pause(FPauseMs);
                      }
                  });
}

std::unique_ptr<tDevice> tSensorSearch::FindHIDSensor(const QString& sensorName) {
    return Search(QStringLiteral("HID: "), tTransport::Hid, sensorName,
                  [this](tDetectors& detectors, QStringList& diagnosis) {
                      const QString vid = SettingText(FSettings, setting::HidVid);
                      const QString pid = SettingText(FSettings, setting::HidPid);
                      const QString upperVid = vid.toUpper();
                      const QString upperPid = pid.toUpper();
                      bool any = false;
                      for (const QString& path : FSource->HidInterfaces()) {
                          const QString upper = path.toUpper();
                          if (!upper.contains(upperVid) || !upper.contains(upperPid)) continue;
                          any = true;
                          AddCandidate(detectors, path, tTransport::Hid, false);
                          LogAdd(QStringLiteral("START DETECTION: ") + path);
                          Pause(FPauseMs);
                      }
                      if (!any) diagnosis << NoCandidatesText(tTransport::Hid, vid, pid);
                  });
}
