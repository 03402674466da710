// SPDX-License-Identifier: GPL-3.0-or-later
// libftd2xx.so as the program sees it: loaded with dlopen, every D2XX name resolved, sensors
// plugged in by location id through the SimFtdi_* calls; and the variant with one name missing.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "devices/D2xx.h"

namespace {

const char* const kNames[] = {
    "FT_CreateDeviceInfoList",   "FT_GetDeviceInfoList",   "FT_W32_ReadFile",     "FT_W32_WriteFile",
    "FT_W32_CreateFile",         "FT_W32_GetCommState",    "FT_W32_SetCommState", "FT_W32_PurgeComm",
    "FT_W32_SetCommTimeouts",    "FT_W32_GetCommTimeouts", "FT_W32_CloseHandle",  "FT_W32_EscapeCommFunction",
    "FT_W32_SetCommBreak",       "FT_W32_ClearCommBreak",  "FT_SetLatencyTimer",  "FT_SetUSBParameters",
    "FT_W32_GetCommModemStatus", "FT_W32_GetLastError"};

class SimFtdiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Lib = dlopen(ROVELIN_FTD2XX_SIM, RTLD_NOW | RTLD_LOCAL);
        ASSERT_TRUE(Lib) << dlerror();
        Reset = Sym<void (*)()>("SimFtdi_Reset");
        AddDevice = Sym<int (*)(uint32_t, const char*, int, int)>("SimFtdi_AddDevice");
        SetFault = Sym<int (*)(uint32_t, const char*, int)>("SimFtdi_SetFault");
        Received = Sym<uint32_t (*)(uint32_t, uint8_t*, uint32_t)>("SimFtdi_Received");
        GetLine = Sym<int (*)(uint32_t, uint32_t*, uint32_t*, uint32_t*)>("SimFtdi_GetLine");
        CallLog = Sym<uint32_t (*)(uint32_t, char*, uint32_t)>("SimFtdi_CallLog");
        Reset();
    }
    void TearDown() override {
        if (Lib) {
            Reset();
            dlclose(Lib);
        }
    }
    template <class F>
    F Sym(const char* name) {
        void* p = dlsym(Lib, name);
        EXPECT_TRUE(p) << name;
        return reinterpret_cast<F>(p);
    }
    FT_HANDLE OpenByLocation(uint32_t loc) {
        auto create = Sym<tFT_W32_CreateFile>("FT_W32_CreateFile");
        return create(reinterpret_cast<const char*>(static_cast<uintptr_t>(loc)),
                      FT_GENERIC_READ | FT_GENERIC_WRITE, 0, nullptr, FT_OPEN_EXISTING,
                      FT_FILE_ATTRIBUTE_NORMAL | FT_OPEN_BY_LOCATION, nullptr);
    }

    void* Lib = nullptr;
    void (*Reset)() = nullptr;
    int (*AddDevice)(uint32_t, const char*, int, int) = nullptr;
    int (*SetFault)(uint32_t, const char*, int) = nullptr;
    uint32_t (*Received)(uint32_t, uint8_t*, uint32_t) = nullptr;
    int (*GetLine)(uint32_t, uint32_t*, uint32_t*, uint32_t*) = nullptr;
    uint32_t (*CallLog)(uint32_t, char*, uint32_t) = nullptr;
};

}  // namespace

// ---------- Exports ----------

TEST_F(SimFtdiTest, ExportsAllEighteenNames) {
    for (const char* name : kNames) EXPECT_TRUE(dlsym(Lib, name)) << name;
    EXPECT_FALSE(dlsym(Lib, "_ZN7SimFtdi5ResetEv")) << "the simulator's own symbols stay hidden";
}

TEST(SimFtdiBroken, LacksExactlyGetLastError) {
    void* lib = dlopen(ROVELIN_FTD2XX_SIM_BROKEN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(lib) << dlerror();
    int missing = 0;
    for (const char* name : kNames) missing += dlsym(lib, name) == nullptr;
    EXPECT_EQ(missing, 1);
    EXPECT_FALSE(dlsym(lib, "FT_W32_GetLastError"));
    dlclose(lib);
}

// ---------- Devices through the library ----------

TEST_F(SimFtdiTest, ListsPluggedSensorsByLocation) {
    ASSERT_EQ(AddDevice(0x1234, "T100", 0, 115200), 1);
    ASSERT_EQ(AddDevice(0x2222, "K330", 1, 38400), 1);
    EXPECT_EQ(AddDevice(0x1234, "L200", 0, 115200), 0) << "one sensor per location";
    FT_DWORD n = 0;
    ASSERT_EQ(Sym<tFT_CreateDeviceInfoList>("FT_CreateDeviceInfoList")(&n), FT_OK);
    ASSERT_EQ(n, 2u);
    // A sensor plugged in between the two calls must not make the list overrun the caller's array.
    ASSERT_EQ(AddDevice(0x3333, "L200", 0, 115200), 1);
    FT_DEVICE_LIST_INFO_NODE nodes[3] = {};
    nodes[2].LocId = 0xDEAD;
    ASSERT_EQ(Sym<tFT_GetDeviceInfoList>("FT_GetDeviceInfoList")(nodes, &n), FT_OK);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(nodes[0].LocId, 0x1234u);
    EXPECT_EQ(nodes[1].LocId, 0x2222u);
    EXPECT_EQ(nodes[2].LocId, 0xDEADu);
    EXPECT_STREQ(nodes[1].Description, "Rovelin K330");
}

TEST_F(SimFtdiTest, OpenConfigureAndIdentify) {
    ASSERT_EQ(AddDevice(7, "K330", 1, 38400), 1);
    FT_HANDLE h = OpenByLocation(7);
    ASSERT_NE(h, FT_INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenByLocation(7), FT_INVALID_HANDLE_VALUE) << "opened exclusively";
    EXPECT_EQ(OpenByLocation(8), FT_INVALID_HANDLE_VALUE);

    FT_DWORD status = 0;
    ASSERT_TRUE(Sym<tFT_W32_GetCommModemStatus>("FT_W32_GetCommModemStatus")(h, &status));
    EXPECT_TRUE(status & 0x80) << "single-sensor dialect raises carrier detect";

    FTDCB dcb{};
    ASSERT_TRUE(Sym<tFT_W32_GetCommState>("FT_W32_GetCommState")(h, &dcb));
    dcb.BaudRate = 38400;
    dcb.fBits = (dcb.fBits & ~(3u << 12)) | (1u << 12);
    ASSERT_TRUE(Sym<tFT_W32_SetCommState>("FT_W32_SetCommState")(h, &dcb));
    FTTIMEOUTS t{0, 0, 500, 0, 500};
    ASSERT_TRUE(Sym<tFT_W32_SetCommTimeouts>("FT_W32_SetCommTimeouts")(h, &t));
    Sym<tFT_SetLatencyTimer>("FT_SetLatencyTimer")(h, 44);
    uint32_t baud = 0, rts = 0, constant = 0;
    ASSERT_EQ(GetLine(7, &baud, &rts, &constant), 1);
    EXPECT_EQ(baud, 38400u);
    EXPECT_EQ(rts, 1u);
    EXPECT_EQ(constant, 500u);

    char req[] = {'I', 0};
    FT_DWORD written = 0;
    ASSERT_TRUE(Sym<tFT_W32_WriteFile>("FT_W32_WriteFile")(h, req, 2, &written, nullptr));
    EXPECT_EQ(written, 2u);
    char reply[40] = {};
    FT_DWORD read = 0;
    ASSERT_TRUE(Sym<tFT_W32_ReadFile>("FT_W32_ReadFile")(h, reply, 40, &read, nullptr));
    ASSERT_EQ(read, 40u);
    EXPECT_EQ(reply[0], 0);
    EXPECT_EQ(std::string(reply + 1, 4), "K330");

    uint8_t got[8] = {};
    EXPECT_EQ(Received(7, got, sizeof got), 2u);
    EXPECT_EQ(got[0], 'I');
    char log[1024];
    CallLog(7, log, sizeof log);
    EXPECT_NE(std::string(log).find("Latency 44"), std::string::npos) << log;
    EXPECT_TRUE(Sym<tFT_W32_CloseHandle>("FT_W32_CloseHandle")(h));
}

TEST_F(SimFtdiTest, UnplugFailsCallsAndSetsLastError) {
    ASSERT_EQ(AddDevice(9, "T100", 0, 115200), 1);
    FT_HANDLE h = OpenByLocation(9);
    ASSERT_NE(h, FT_INVALID_HANDLE_VALUE);
    ASSERT_EQ(SetFault(9, "unplug", 1), 1);
    EXPECT_EQ(SetFault(9, "no-such-fault", 1), 0);
    char buf[8];
    FT_DWORD n = 0;
    EXPECT_FALSE(Sym<tFT_W32_ReadFile>("FT_W32_ReadFile")(h, buf, 8, &n, nullptr));
    EXPECT_NE(Sym<tFT_W32_GetLastError>("FT_W32_GetLastError")(h), 0u);
    EXPECT_TRUE(Sym<tFT_W32_CloseHandle>("FT_W32_CloseHandle")(h));
}

TEST_F(SimFtdiTest, StaleHandlesAreRefused) {
    ASSERT_EQ(AddDevice(10, "T100", 0, 115200), 1);
    FT_HANDLE h = OpenByLocation(10);
    auto close = Sym<tFT_W32_CloseHandle>("FT_W32_CloseHandle");
    ASSERT_TRUE(close(h));
    EXPECT_FALSE(close(h));
    FT_DWORD status = 0;
    EXPECT_FALSE(Sym<tFT_W32_GetCommModemStatus>("FT_W32_GetCommModemStatus")(h, &status));
    EXPECT_FALSE(Sym<tFT_W32_PurgeComm>("FT_W32_PurgeComm")(FT_INVALID_HANDLE_VALUE, 12));
}
