// SPDX-License-Identifier: GPL-3.0-or-later
// Every key of rovelin.cfg with its built-in default and what it means: the one table the program
// reads its settings through. A key a file leaves out (or gives a value that is no number, for the
// numeric keys) takes the default here. The README's table and the shipped rovelin.cfg are checked
// against this table by a test.
#pragma once

#include <QString>
#include <span>

class tSettings;

struct tSettingKey {
    const char* Name;
    const char* Default;  // as a file would spell it
    const char* Meaning;  // one line for the README
};

namespace setting {
inline constexpr tSettingKey UseFTDI{"UseFTDI", "1", "search FTDI sensors through the vendor's D2XX library"};
inline constexpr tSettingKey UseCDC{"UseCDC", "0", "search sensors on serial ports"};
inline constexpr tSettingKey UseHID{"UseHID", "1", "search USB HID sensors"};
inline constexpr tSettingKey SerialPorts{
    "SerialPorts", "", "further serial ports to search (e.g. /dev/ttyS0), separated by ';'"};
inline constexpr tSettingKey HidVid{"HID_VID", "vid_0483", "text the HID interface path must contain"};
inline constexpr tSettingKey HidPid{"HID_PID", "pid_5750", "text the HID interface path must contain"};
inline constexpr tSettingKey HidSendReportId{"HID_SendReportID", "2", "report id of output reports"};
inline constexpr tSettingKey HidRecvReportId{"HID_RecvReportID", "1", "report id expected on input reports"};
inline constexpr tSettingKey Timeout{"Timeout", "5000",
                                     "ms to wait after opening a serial or FTDI port before configuring it"};
inline constexpr tSettingKey IgnoreCD{"IgnoreCD", "0",
                                      "1: always use the single-sensor dialect on serial ports"};
inline constexpr tSettingKey Latency{"Latency", "16", "FTDI latency timer, ms (low 8 bits are used)"};
inline constexpr tSettingKey InSize{"InSize", "4096", "FTDI USB input transfer size"};
inline constexpr tSettingKey OutSize{"OutSize", "4096", "FTDI USB output transfer size"};
inline constexpr tSettingKey FixWine{"FixWine", "1", "correct the HID write count under Wine"};
}  // namespace setting

// All keys, in the order the README and the shipped file list them.
std::span<const tSettingKey* const> SettingKeys();

// The key's integer value (decimal, or hexadecimal with $ or 0x); the default when `settings` is
// null, the key is absent or its value is no number.
int SettingInt(const tSettings* settings, const tSettingKey& key);
// The key's text; the default when `settings` is null or the value is absent or empty.
QString SettingText(const tSettings* settings, const tSettingKey& key);
