// SPDX-License-Identifier: GPL-3.0-or-later
// The FTDI transport through a stand-in libftd2xx.so loaded with dlopen: loading and its failure
// report, opening by location id, the USB tuning settings, the exchange and the FTDI search.
#include <dlfcn.h>

#include "Testsupport.h"
#include "devices/Device.h"
#include "devices/Ftdilibrary.h"
#include "devices/Library.h"
#include "devices/Sensorsearch.h"
#include "foundation/Exceptions.h"
#include "foundation/Messagebox.h"
#include "foundation/Stringtable.h"

namespace {

// The control API of the stand-in library, resolved from the same loaded copy.
class tFakeFtdiControl {
  public:
    tFakeFtdiControl() : FHandle(dlopen(FAKE_FTD2XX, RTLD_NOW)) {}
    ~tFakeFtdiControl() {
        if (FHandle) dlclose(FHandle);
    }
    template <typename F>
    F Get(const char* name) {
        return reinterpret_cast<F>(dlsym(FHandle, name));
    }
    void Reset() { Get<void (*)()>("FakeFtdi_Reset")(); }
    void AddChip(uint32_t loc, bool carrierOn, const char* identity) {
        Get<void (*)(uint32_t, int, const char*)>("FakeFtdi_AddChip")(loc, carrierOn, identity);
    }
    uint32_t U(const char* name) { return Get<uint32_t (*)()>(name)(); }
    int I(const char* name) { return Get<int (*)()>(name)(); }
    uint32_t Baud(uint32_t loc) { return Get<uint32_t (*)(uint32_t)>("FakeFtdi_Baud")(loc); }

  private:
    void* FHandle;
};

}  // namespace

class FtdiTest : public tDeviceTest {
  protected:
    void SetUp() override {
        tDeviceTest::SetUp();
        tFTDILibrary::ResetForTests();
        Control.Reset();
    }
    void TearDown() override {
        tFTDILibrary::ResetForTests();
        qunsetenv("ROVELIN_FTD2XX");
        tDeviceTest::TearDown();
    }
    void Use(const char* file) { qputenv("ROVELIN_FTD2XX", file); }
    tFakeFtdiControl Control;
};

// ---- loading ----

TEST_F(FtdiTest, MissingLibraryIsNotLoadedAndLogsTwoLines) {
    Use("/nonexistent/libftd2xx.so");
    EXPECT_FALSE(tFTDILibrary::Instance().IsLoaded());
    const QStringList lines = Log.Lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(
        lines[0].startsWith("Системная ошибка : Невозможно загрузить библиотеку /nonexistent/libftd2xx.so."
                            "\r\nПричина: "));
    EXPECT_EQ(lines[1], "Использование интерфейса FTDI невозможно!");
    tFTDILibrary::Instance();
    EXPECT_EQ(Log.Lines().size(), 2);  // reported once
}

TEST_F(FtdiTest, OneMissingNameMakesTheWholeLibraryUnusable) {
    Use(FAKE_FTD2XX_MISSING);
    tFTDILibrary& library = tFTDILibrary::Instance();
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(library.FT_CreateDeviceInfoList, nullptr);
    ASSERT_EQ(Log.Lines().size(), 2);
    EXPECT_TRUE(
        Log.Lines()[0].startsWith("Системная ошибка : Невозможно получить адрес процедуры "
                                  "FT_W32_GetLastError из библиотеки "));
}

TEST_F(FtdiTest, WithoutLogTheFailureIsAWarningBox) {
    Use("/nonexistent/libftd2xx.so");
    tLogFile* saved = gLogFile;
    gLogFile = nullptr;
    QString shown;
    SetMessageBoxResponderForTests([&](const tBoxRequest& r) {
        shown = r.text;
        return tBoxAnswer{};
    });
    EXPECT_FALSE(tFTDILibrary::Instance().IsLoaded());
    SetMessageBoxResponderForTests(nullptr);
    gLogFile = saved;
    EXPECT_TRUE(shown.startsWith("Использование интерфейса FTDI невозможно!\r\nПричина: Системная ошибка"));
}

TEST_F(FtdiTest, LibraryGetProcNamesTheProcedure) {
    tLibrary library(QString::fromLatin1(FAKE_FTD2XX));
    EXPECT_NE(static_cast<void*>(library), nullptr);
    EXPECT_NE(library.GetProc("FT_W32_ReadFile"), nullptr);
    EXPECT_THROW(library.GetProc("NoSuchName"), tException);
}

// ---- device over FTDI ----

TEST_F(FtdiTest, NotLoadedOpenFailsAndExchangeLogs) {
    Use("/nonexistent/libftd2xx.so");
    tDevice device("289", &Settings, tTransport::Ftdi);
    QString error;
    EXPECT_FALSE(device.Init(error));
    EXPECT_EQ(error, "??? Библиотека доступа через интерфейс FTDI не загружена!");
    uint8_t reply[1];
    EXPECT_FALSE(device.SendRequest(nullptr, 0, 10, 1, reply));
    EXPECT_TRUE(Log.Has("??? Библиотека доступа через интерфейс FTDI не загружена!"));
    EXPECT_FALSE(device.Stop());  // the hub stop byte could not be sent: nothing to discard
}

TEST_F(FtdiTest, OpensByLocationWithTuningAndIdentifies) {
    Use(FAKE_FTD2XX);
    Control.AddChip(289, false, "T100,r,s,1,v,115200");
    Settings.SetSettingByName("Latency", "300");
    Settings.SetSettingByName("InSize", "8192");
    Settings.SetSettingByName("IgnoreCD", "1");  // not read by the FTDI transport
    {
        tDevice device("289", &Settings, tTransport::Ftdi);
        QString error;
        ASSERT_TRUE(device.Init(error)) << error.toStdString();
        EXPECT_EQ(Control.U("FakeFtdi_LastOpenLocation"), 289u);
        EXPECT_EQ(Control.U("FakeFtdi_LastOpenFlags"), 0x84u);
        EXPECT_EQ(Control.I("FakeFtdi_LastLatency"), 44);
        EXPECT_EQ(Control.U("FakeFtdi_LastInSize"), 8192u);
        EXPECT_EQ(Control.U("FakeFtdi_LastOutSize"), 4096u);
        EXPECT_TRUE(device.IsHubMode());
        EXPECT_EQ(Control.Baud(289), 921600u);
        tDeviceInfo info;
        ASSERT_TRUE(device.GetInfo(info));
        EXPECT_EQ(device.GetName(), "T100");
        EXPECT_EQ(device.Speed(), 115200);
        EXPECT_TRUE(device.SetFrequency(0, 50000));
        EXPECT_TRUE(device.Stop());
        EXPECT_EQ(Control.U("FakeFtdi_LastPurge"), 0x0Fu);
    }
    EXPECT_EQ(Control.I("FakeFtdi_CloseCount"), 1);
}

TEST_F(FtdiTest, SingleSensorAndUnopenableLocation) {
    Use(FAKE_FTD2XX);
    Control.AddChip(17, true, "L200,1,2,3,4,0");
    tDevice device("17", &Settings, tTransport::Ftdi);
    QString error;
    ASSERT_TRUE(device.Init(error));
    EXPECT_FALSE(device.IsHubMode());
    EXPECT_EQ(Control.Baud(17), 38400u);
    tDeviceInfo info;
    EXPECT_TRUE(device.GetInfo(info));
    EXPECT_EQ(info.Name, "L200");

    tDevice notNumber("abc", &Settings, tTransport::Ftdi);
    EXPECT_FALSE(notNumber.Init(error));
    EXPECT_EQ(Control.U("FakeFtdi_LastOpenLocation"), 0u);  // location 0
    EXPECT_TRUE(error.startsWith("Невозможно открыть устройство 'abc'.\r\nСистема сообщает: "));
}

// ---- FTDI search through the system source ----

TEST_F(FtdiTest, SearchFindsTheNamedChipByLocation) {
    Use(FAKE_FTD2XX);
    Control.AddChip(5, false, "T100,a,b,1,c,0");
    Control.AddChip(6, false, "K330,a,b,1,c,0");
    tSensorSearch search(&Settings);
    search.SetCandidatePauseMs(0);
    std::unique_ptr<tDevice> device = search.FindFTDISensor("K330");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->PortName(), "6");
    EXPECT_EQ(Control.I("FakeFtdi_CloseCount"), 1);  // T100 closed at once
}

TEST_F(FtdiTest, SearchWithoutLibraryLogsOneLine) {
    Use("/nonexistent/libftd2xx.so");
    tSensorSearch search(&Settings);
    EXPECT_EQ(search.FindFTDISensor("K330"), nullptr);
    EXPECT_TRUE(Log.Has("FTW32: Библиотека доступа через интерфейс FTDI не загружена!"));
}

TEST_F(FtdiTest, SearchWithNoChipsReportsNothingFound) {
    Use(FAKE_FTD2XX);
    tSensorSearch search(&Settings);
    EXPECT_EQ(search.FindFTDISensor("K330"), nullptr);
    EXPECT_TRUE(Log.Has("FTW32: " + LoadStr(msg::NoDevicesFound)));
}
