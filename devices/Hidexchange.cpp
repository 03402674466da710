// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Hidexchange.h"

#include <algorithm>
#include <cstring>

#include "devices/Commexchange.h"
#include "devices/Devicetimings.h"
#include "foundation/Functions.h"
#include "foundation/Logfile.h"
#include "platform/Hidquirks.h"

namespace {

QString Num(uint64_t n) {
    return QString::number(n);
}

void LogDump(const char* hexPrefix, const char* binPrefix, const uint8_t* data, uint32_t n) {
    if (!LogIsOn()) return;
    LogAdd(QString::fromLatin1(hexPrefix) + HexBytes(data, n));
    LogAdd(QString::fromLatin1(binPrefix) + BinBytes(data, n) + u'\'');
}

// A transfer that did not complete: a pending one is cancelled, and the log says why after
// "Write Error: " or "Read Error: " (`direction`).
bool FailedTransfer(tHidLink& link, tHidPort::tIo io, const char* direction) {
    if (io == tHidPort::IoTimeout || io == tHidPort::IoStopped) link.Port->Cancel();
    LogHidTransferFailure(QString::fromLatin1(direction), io, *link.Port);
    return false;
}

// One output report; true when the system took it (the caller checks the count).
bool WriteOneReport(tHidLink& link, const uint8_t* report, uint32_t reportLength, uint32_t& transfer) {
    uint32_t stored = 0;
    bool immediate = false;
    const tHidPort::tIo io = link.Port->WriteReport(
        report, reportLength, static_cast<uint32_t>(tDeviceTimings::Get().HidWriteTimeoutMs), stored,
        immediate);
    if (io != tHidPort::IoDone) return FailedTransfer(link, io, "Write");
    if (immediate) {
        transfer = stored;
        LogAdd(QStringLiteral("(1) HID Write successfully."));
        LogAdd(QStringLiteral("(1) ovWrite.InternalHigh") + Num(stored));
        LogAdd(QStringLiteral("(1) OVW SUCCESS:") + Num(transfer));
    } else {
        LogAdd(QStringLiteral("HID Write successfully."));
        LogAdd(QStringLiteral("ovWrite.InternalHigh") + Num(stored));
        LogAdd(QStringLiteral("OVW SUCCESS:") + Num(stored));
        LogAdd(QStringLiteral("OVW SUCCESS:") + Num(stored));
        // Only a write that completed later comes back short under Wine.
        transfer = tHidQuirks::FromSettings(link.Settings).WrittenCount(stored);
    }
    return true;
}

bool ReadOneReport(tHidLink& link, uint8_t* report, uint32_t reportLength, uint32_t timeoutMs,
                   uint32_t& transfer) {
    uint32_t stored = 0;
    bool immediate = false;
    const tHidPort::tIo io =
        link.Port->ReadReport(report, reportLength, timeoutMs, stored, immediate, nullptr);
    if (io != tHidPort::IoDone) return FailedTransfer(link, io, "Read");
    transfer = stored;
    if (immediate) {
        LogAdd(QStringLiteral("(1) HID Read successfully."));
        LogAdd(QStringLiteral("(1) ovRead.InternalHigh") + Num(stored));
        LogAdd(QStringLiteral("(1) OVR SUCCESS:") + Num(transfer));
    } else {
        LogAdd(QStringLiteral("HID Read successfully."));
        LogAdd(QStringLiteral("ovRead.InternalHigh") + Num(stored));
        LogAdd(QStringLiteral("OVR SUCCESS:") + Num(stored));
        LogAdd(QStringLiteral("OVR SUCCESS:") + Num(stored));
    }
    return true;
}

}  // namespace

bool HidExchange(tHidLink& link, const uint8_t* request, uint32_t length, int timeoutMs, uint32_t replyLength,
                 uint8_t* reply) {
    const int inLength = link.InputReportLength;
    const int outLength = link.OutputReportLength;
    if (!link.Port || !link.CarryBuffer || !tHidQuirks::UsableLengths(inLength, outLength, 1)) {
        // A report without room for one payload byte could never carry a request or a reply.
        LogAdd(QStringLiteral("HID: unusable report lengths %1/%2").arg(inLength).arg(outLength));
        return false;
    }
    std::vector<uint8_t> outReport(static_cast<size_t>(outLength));
    std::vector<uint8_t> inReport(static_cast<size_t>(inLength), 0);
    std::vector<uint8_t>& carry = *link.CarryBuffer;
    bool ok = true;

    LogAdd(QStringLiteral("SEND: write bytes ") + Num(length));
    const uint32_t payloadPerReport = static_cast<uint32_t>(outLength - 1);
    for (uint32_t pos = 0; pos < length && ok; pos += payloadPerReport) {
        LogAdd(QStringLiteral("SEND: write report ") + Num(pos));
        std::fill(outReport.begin(), outReport.end(), 0);
        outReport[0] = tHidQuirks::FromSettings(link.Settings).SendReportId;
        const uint32_t chunk = std::min(length - pos, payloadPerReport);
        std::memcpy(outReport.data() + 1, request + pos, chunk);
        LogDump("SEND: HEX ", "SEND: BIN '", outReport.data(), static_cast<uint32_t>(outLength));
        uint32_t transfer = 0;
        ok = WriteOneReport(link, outReport.data(), static_cast<uint32_t>(outLength), transfer);
        ok = ok && transfer == static_cast<uint32_t>(outLength);
        if (ok) LogAdd(QStringLiteral("SEND: report %1 written.").arg(pos));
    }
    if (ok && length > 0) LogAdd(QStringLiteral("SEND: request written"));
    LogAdd(QStringLiteral("RECV: try to read bytes ") + Num(replyLength));

    // Bytes a previous reply left over answer first, whatever the write phase did.
    uint32_t taken = 0;
    if (replyLength > 0) {
        LogAdd(QStringLiteral("RECV: Bytes in buffer ") + Num(carry.size()));
        if (!carry.empty()) {
            taken = static_cast<uint32_t>(std::min<size_t>(replyLength, carry.size()));
            std::memcpy(reply, carry.data(), taken);
            carry.erase(carry.begin(), carry.begin() + taken);
            LogAdd(QStringLiteral("RECV: Read from buffer size") + Num(taken));
            LogDump("RECV: Read from  buffer HEX ", "RECV: Read from  buffer BIN '", reply, taken);
        }
    }
    const uint32_t remaining = replyLength - taken;

    uint32_t received = 0;
    const uint32_t timeout = static_cast<uint32_t>(std::max(timeoutMs, 0));
    while (ok && received < remaining) {
        std::fill(inReport.begin(), inReport.end(), 0);
        uint32_t transfer = 0;
        ok = ReadOneReport(link, inReport.data(), static_cast<uint32_t>(inLength), timeout, transfer);
        const uint32_t shown = std::min(transfer, static_cast<uint32_t>(inLength));
        LogAdd(QStringLiteral("RECV: read bytes ") + Num(transfer));
        LogDump("RECV: HEX ", "RECV: BIN '", inReport.data(), shown);
        ok = ok && transfer == static_cast<uint32_t>(inLength) &&
             tHidQuirks::FromSettings(link.Settings).IsInputReport(inReport[0]);
        if (!ok) break;

        const uint32_t capacity = tHidQuirks::ExchangeFullCount(inLength);
        const uint32_t useful = inReport[1] == tHidQuirks::CountMeansFull ? capacity : inReport[1];
        LogAdd(QStringLiteral("RECV: useful information size=") + Num(useful));
        if (useful > capacity) {
            // The count byte promises more than the report holds: nothing of it can be trusted.
            LogAdd(QStringLiteral("RECV: useful information size exceeds the report (%1 > %2)")
                       .arg(useful)
                       .arg(capacity));
            ok = false;
            break;
        }
        const uint8_t* payload = inReport.data() + 2;
        LogDump("RECV: Useful info HEX ", "RECV: Useful info BIN '", payload, useful);
        const uint32_t needed = remaining - received;
        if (needed < useful) {
            LogAdd(QStringLiteral("RECV: Bytes to response ") + Num(needed));
            std::memcpy(reply + taken + received, payload, needed);
            carry.insert(carry.end(), payload + needed, payload + useful);
            LogAdd(QStringLiteral("RECV: Bytes to buffer ") + Num(carry.size()));
            received += needed;
        } else {
            LogAdd(QStringLiteral("RECV: Bytes to response ") + Num(useful));
            std::memcpy(reply + taken + received, payload, useful);
            LogAdd(QStringLiteral("RECV: Bytes to buffer 0"));
            received += useful;
        }
    }
    LogAdd(QString());
    return ok;
}
