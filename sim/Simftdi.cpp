// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Simftdi.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "sim/Simports.h"

namespace SimFtdi {
namespace {

struct tHandle {
    uint32_t LocId = 0;
    std::unique_ptr<tSimCommPort> Port;
    FTDCB Dcb{};
    FT_DWORD LastError = 0;
};

struct tState {
    std::mutex Lock;  // guards Devices, Order, Listed and Handles
    std::map<uint32_t, std::shared_ptr<tSimSensor>> Devices;
    std::vector<uint32_t> Order;  // plug-in order, the order the list reports
    FT_DWORD Listed = 0;          // count given by the last CreateDeviceInfoList
    std::set<tHandle*> Handles;
};

tState& State() {
    static tState state;
    return state;
}

tHandle* Lookup(FT_HANDLE h) {
    tState& s = State();
    std::lock_guard lock(s.Lock);
    auto* handle = static_cast<tHandle*>(h);
    return s.Handles.count(handle) ? handle : nullptr;
}

FT_BOOL Done(tHandle* h, bool ok) {
    h->LastError = ok ? 0 : kErrorNotConnected;
    return ok ? 1 : 0;
}

constexpr FT_DWORD kRtsShift = 12;
constexpr FT_DWORD kRtsMask = 3u << kRtsShift;

}  // namespace

FT_STATUS CreateDeviceInfoList(FT_DWORD* numDevices) {
    if (!numDevices) return FT_OTHER_ERROR;
    tState& s = State();
    std::lock_guard lock(s.Lock);
    s.Listed = static_cast<FT_DWORD>(s.Order.size());
    *numDevices = s.Listed;
    return FT_OK;
}

FT_STATUS GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, FT_DWORD* numDevices) {
    if (!list || !numDevices) return FT_OTHER_ERROR;
    tState& s = State();
    std::lock_guard lock(s.Lock);
    // The caller sized `list` by the last CreateDeviceInfoList: never write more records than that,
    // even when a sensor was plugged in since.
    const FT_DWORD n = std::min<FT_DWORD>(s.Listed, static_cast<FT_DWORD>(s.Order.size()));
    for (FT_DWORD i = 0; i < n; ++i) {
        FT_DEVICE_LIST_INFO_NODE& node = list[i];
        std::memset(&node, 0, sizeof node);
        const uint32_t loc = s.Order[i];
        node.Type = 5;  // FT232R
        node.ID = 0x04036001;
        node.LocId = loc;
        std::snprintf(node.SerialNumber, sizeof node.SerialNumber, "SIM%u", loc);
        std::snprintf(node.Description, sizeof node.Description, "Rovelin %s",
                      s.Devices[loc]->Model().toLatin1().constData());
    }
    *numDevices = n;
    return FT_OK;
}

FT_HANDLE W32_CreateFile(const char* name, FT_DWORD, FT_DWORD, void*, FT_DWORD, FT_DWORD attrsAndFlags,
                         void*) {
    tState& s = State();
    std::lock_guard lock(s.Lock);
    // By location the "name" is the location id itself, as the vendor's library takes it.
    const uint32_t loc = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(name));
    auto it = s.Devices.find(loc);
    if (!(attrsAndFlags & FT_OPEN_BY_LOCATION) || it == s.Devices.end()) {
        errno = ENODEV;
        return FT_INVALID_HANDLE_VALUE;
    }
    if (!it->second->TryOpen()) {
        errno = it->second->IsUnplugged() ? ENODEV : EBUSY;
        return FT_INVALID_HANDLE_VALUE;
    }
    auto* h = new tHandle;
    h->LocId = loc;
    h->Port = std::make_unique<tSimCommPort>(it->second);
    h->Dcb.DCBlength = sizeof(FTDCB);
    h->Dcb.BaudRate = 9600;
    h->Dcb.fBits = 1;  // fBinary
    h->Dcb.ByteSize = 8;
    s.Handles.insert(h);
    return h;
}

FT_BOOL W32_CloseHandle(FT_HANDLE handle) {
    tState& s = State();
    std::unique_lock lock(s.Lock);
    auto* h = static_cast<tHandle*>(handle);
    if (!s.Handles.erase(h)) return 0;
    lock.unlock();
    delete h;
    return 1;
}

FT_BOOL W32_ReadFile(FT_HANDLE handle, void* buffer, FT_DWORD toRead, FT_DWORD* read, void*) {
    tHandle* h = Lookup(handle);
    if (read) *read = 0;
    if (!h || !buffer || !read) return 0;
    uint32_t n = 0;
    const bool ok = h->Port->Read(static_cast<uint8_t*>(buffer), toRead, n);
    *read = n;
    return Done(h, ok);
}

FT_BOOL W32_WriteFile(FT_HANDLE handle, void* buffer, FT_DWORD toWrite, FT_DWORD* written, void*) {
    tHandle* h = Lookup(handle);
    if (written) *written = 0;
    if (!h || !buffer || !written) return 0;
    uint32_t n = 0;
    const bool ok = h->Port->Write(static_cast<const uint8_t*>(buffer), toWrite, n);
    *written = n;
    return Done(h, ok);
}

FT_BOOL W32_GetCommState(FT_HANDLE handle, FTDCB* dcb) {
    tHandle* h = Lookup(handle);
    if (!h || !dcb) return 0;
    tCommState st;
    if (!h->Port->GetState(st)) return Done(h, false);
    if (st.BaudRate != 0) {  // the line was configured: report it, keep the other fields as last set
        h->Dcb.BaudRate = st.BaudRate;
        h->Dcb.ByteSize = st.ByteSize;
        h->Dcb.Parity = st.Parity;
        h->Dcb.StopBits = st.StopBits;
        h->Dcb.fBits = (h->Dcb.fBits & ~kRtsMask) | (FT_DWORD(st.RtsControl & 3) << kRtsShift);
    }
    *dcb = h->Dcb;
    return Done(h, true);
}

FT_BOOL W32_SetCommState(FT_HANDLE handle, FTDCB* dcb) {
    tHandle* h = Lookup(handle);
    if (!h || !dcb) return 0;
    tCommState st;
    st.BaudRate = dcb->BaudRate;
    st.ByteSize = dcb->ByteSize;
    st.Parity = dcb->Parity;
    st.StopBits = dcb->StopBits;
    st.RtsControl = static_cast<uint8_t>((dcb->fBits & kRtsMask) >> kRtsShift);
    if (!h->Port->SetState(st)) return Done(h, false);
    h->Dcb = *dcb;
    return Done(h, true);
}

FT_BOOL W32_PurgeComm(FT_HANDLE handle, FT_DWORD flags) {
    tHandle* h = Lookup(handle);
    return h ? Done(h, h->Port->Purge(flags)) : 0;
}

FT_BOOL W32_SetCommTimeouts(FT_HANDLE handle, FTTIMEOUTS* t) {
    tHandle* h = Lookup(handle);
    if (!h || !t) return 0;
    tCommTimeouts ct{t->ReadIntervalTimeout, t->ReadTotalTimeoutMultiplier, t->ReadTotalTimeoutConstant,
                     t->WriteTotalTimeoutMultiplier, t->WriteTotalTimeoutConstant};
    return Done(h, h->Port->SetTimeouts(ct));
}

FT_BOOL W32_GetCommTimeouts(FT_HANDLE handle, FTTIMEOUTS* t) {
    tHandle* h = Lookup(handle);
    if (!h || !t) return 0;
    tCommTimeouts ct;
    if (!h->Port->GetTimeouts(ct)) return Done(h, false);
    *t = {ct.ReadIntervalTimeout, ct.ReadTotalTimeoutMultiplier, ct.ReadTotalTimeoutConstant,
          ct.WriteTotalTimeoutMultiplier, ct.WriteTotalTimeoutConstant};
    return Done(h, true);
}

FT_BOOL W32_EscapeCommFunction(FT_HANDLE handle, FT_DWORD func) {
    tHandle* h = Lookup(handle);
    if (!h) return 0;
    if (func == FT_SETRTS || func == FT_CLRRTS) return Done(h, h->Port->SetRts(func == FT_SETRTS));
    return Done(h, !h->Port->Sensor().IsUnplugged());
}

FT_BOOL W32_SetCommBreak(FT_HANDLE handle) {
    tHandle* h = Lookup(handle);
    return h ? Done(h, h->Port->SetBreak(true)) : 0;
}

FT_BOOL W32_ClearCommBreak(FT_HANDLE handle) {
    tHandle* h = Lookup(handle);
    return h ? Done(h, h->Port->SetBreak(false)) : 0;
}

FT_STATUS SetLatencyTimer(FT_HANDLE handle, uint8_t latency) {
    tHandle* h = Lookup(handle);
    if (!h) return FT_INVALID_HANDLE;
    tSimCall c(tSimCall::Latency);
    c.Value = latency;
    h->Port->Sensor().Record(c);
    return h->Port->Sensor().IsUnplugged() ? FT_IO_ERROR : FT_OK;
}

FT_STATUS SetUSBParameters(FT_HANDLE handle, FT_DWORD inSize, FT_DWORD outSize) {
    tHandle* h = Lookup(handle);
    if (!h) return FT_INVALID_HANDLE;
    tSimCall c(tSimCall::UsbParameters);
    c.Value = inSize;
    c.Value2 = outSize;
    h->Port->Sensor().Record(c);
    return h->Port->Sensor().IsUnplugged() ? FT_IO_ERROR : FT_OK;
}

FT_BOOL W32_GetCommModemStatus(FT_HANDLE handle, FT_DWORD* status) {
    tHandle* h = Lookup(handle);
    if (!h || !status) return 0;
    uint32_t st = 0;
    const bool ok = h->Port->GetModemStatus(st);
    *status = st;
    return Done(h, ok);
}

FT_DWORD W32_GetLastError(FT_HANDLE handle) {
    tHandle* h = Lookup(handle);
    return h ? h->LastError : kErrorNotConnected;
}

// --- Control ---

void Reset() {
    tState& s = State();
    std::lock_guard lock(s.Lock);
    for (auto& [loc, sensor] : s.Devices) sensor->Unplug();
    s.Devices.clear();
    s.Order.clear();
    s.Listed = 0;
}

bool AddDevice(uint32_t locId, const char* model, bool dialectSingle, int32_t speed) {
    if (!model || !*model || speed < 0) return false;
    tSimSensorConfig c = tSimRegistry::DemoConfig(QString::fromLatin1(model), false);
    c.Hub = !dialectSingle;
    c.Speed = speed;
    tState& s = State();
    std::lock_guard lock(s.Lock);
    if (s.Devices.count(locId)) return false;
    s.Devices[locId] = std::make_shared<tSimSensor>(c);
    s.Order.push_back(locId);
    return true;
}

std::shared_ptr<tSimSensor> Sensor(uint32_t locId) {
    tState& s = State();
    std::lock_guard lock(s.Lock);
    auto it = s.Devices.find(locId);
    return it == s.Devices.end() ? nullptr : it->second;
}

bool SetFault(uint32_t locId, const char* name, int value) {
    std::shared_ptr<tSimSensor> sensor = Sensor(locId);
    if (!sensor || !name) return false;
    const std::string n = name;
    tSimFaults f = sensor->Faults();
    if (n == "silent")
        f.Silent = value != 0;
    else if (n == "garbage")
        f.GarbageReplies = value != 0;
    else if (n == "short")
        f.ShortReplies = value != 0;
    else if (n == "wrong")
        f.WrongReplies = value != 0;
    else if (n == "removed_after")
        f.RemovedAfterValues = value;
    else if (n == "unplug_after")
        f.UnplugAfterValues = value;
    else if (n == "stall_after")
        f.StallAfterValues = value;
    else if (n == "stall_ms")
        f.StallMs = value;
    else if (n == "unplug") {
        sensor->Unplug();
        return true;
    } else if (n == "channels") {
        sensor->SetChannels(value);
        return true;
    } else if (n == "seed") {
        sensor->SetSeed(static_cast<uint32_t>(value));
        return true;
    } else {
        return false;
    }
    sensor->SetFaults(f);
    return true;
}

uint32_t Received(uint32_t locId, uint8_t* buf, uint32_t cap) {
    std::shared_ptr<tSimSensor> sensor = Sensor(locId);
    if (!sensor) return 0;
    const std::vector<uint8_t> r = sensor->Received();
    if (buf) std::memcpy(buf, r.data(), std::min<size_t>(cap, r.size()));
    return static_cast<uint32_t>(r.size());
}

uint32_t SentValues(uint32_t locId, int channel, double* buf, uint32_t cap) {
    std::shared_ptr<tSimSensor> sensor = Sensor(locId);
    if (!sensor) return 0;
    const std::vector<double> v = sensor->SentValues(channel);
    if (buf) std::copy_n(v.begin(), std::min<size_t>(cap, v.size()), buf);
    return static_cast<uint32_t>(v.size());
}

uint32_t CallLog(uint32_t locId, char* buf, uint32_t cap) {
    std::shared_ptr<tSimSensor> sensor = Sensor(locId);
    if (!sensor) return 0;
    const QByteArray text = sensor->CallLog().join('\n').toUtf8();
    if (buf && cap > 0) {
        const size_t n = std::min<size_t>(cap - 1, text.size());
        std::memcpy(buf, text.constData(), n);
        buf[n] = 0;
    }
    return static_cast<uint32_t>(text.size());
}

bool GetLine(uint32_t locId, uint32_t* baud, uint32_t* rtsControl, uint32_t* readConstant) {
    std::shared_ptr<tSimSensor> sensor = Sensor(locId);
    if (!sensor) return false;
    const tCommState st = sensor->LineState();
    if (baud) *baud = st.BaudRate;
    if (rtsControl) *rtsControl = st.RtsControl;
    if (readConstant) *readConstant = sensor->Timeouts().ReadTotalTimeoutConstant;
    return true;
}

}  // namespace SimFtdi
