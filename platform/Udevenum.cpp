// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Udevenum.h"

#include <libudev.h>

#include <QHash>
#include <algorithm>
#include <memory>

namespace {

struct tUdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
using tUdev = std::unique_ptr<udev, tUdevDeleter>;
using tUdevEnumerate = std::unique_ptr<udev_enumerate, tUdevDeleter>;
using tUdevDevice = std::unique_ptr<udev_device, tUdevDeleter>;

QString Text(const char* s) {
    return s ? QString::fromLocal8Bit(s) : QString();
}

// Calls `visit` for every device of `subsystem` known to sysfs.
template <class F>
void ForEachDevice(const char* subsystem, F visit) {
    tUdev context(udev_new());
    if (!context) return;
    tUdevEnumerate enumerate(udev_enumerate_new(context.get()));
    if (!enumerate) return;
    if (udev_enumerate_add_match_subsystem(enumerate.get(), subsystem) < 0) return;
    if (udev_enumerate_scan_devices(enumerate.get()) < 0) return;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        tUdevDevice device(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (device) visit(device.get());
    }
}

// Sensors reach a tty through USB (cdc_acm, ftdi_sio, other USB serial adapters). Built-in UARTs
// (ttyS*), consoles and ptys have no USB device above them and are left to the SerialPorts
// setting: probing them costs a "Timeout" wait each and they never hold a sensor by themselves.
bool IsUsbTty(udev_device* device) {
    const QString syspath = Text(udev_device_get_syspath(device));
    if (syspath.startsWith("/sys/devices/virtual/")) return false;
    return udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device") != nullptr;
}

void SortNodes(QStringList& nodes) {
    std::sort(nodes.begin(), nodes.end(), DeviceNodeNaturalLess);
}

bool ParseHex16(const QString& text, uint16_t& value) {
    bool ok = false;
    const uint v = text.toUInt(&ok, 16);
    if (!ok || v > 0xFFFF) return false;
    value = uint16_t(v);
    return true;
}

}  // namespace

QStringList EnumerateSerialPorts() {
    QStringList nodes;
    ForEachDevice("tty", [&](udev_device* device) {
        const QString node = Text(udev_device_get_devnode(device));
        if (node.startsWith("/dev/") && IsUsbTty(device)) nodes << node;
    });
    SortNodes(nodes);
    return nodes;
}

QStringList EnumerateHidInterfaces() {
    QStringList nodes;
    QHash<QString, QString> paths;
    ForEachDevice("hidraw", [&](udev_device* device) {
        const QString node = Text(udev_device_get_devnode(device));
        if (!node.startsWith("/dev/")) return;
        uint16_t vid = 0, pid = 0;
        bool known = false;
        if (udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr))
            known = ParseHidId(Text(udev_device_get_property_value(hid, "HID_ID")), vid, pid);
        if (!known) {
            if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device"))
                known = ParseHex16(Text(udev_device_get_sysattr_value(usb, "idVendor")), vid) &&
                        ParseHex16(Text(udev_device_get_sysattr_value(usb, "idProduct")), pid);
        }
        if (!known) vid = pid = 0;
        nodes << node;
        paths.insert(node, HidInterfacePath(node, vid, pid));
    });
    SortNodes(nodes);
    QStringList result;
    for (const QString& node : nodes) result << paths.value(node);
    return result;
}

QString SerialPortIdentifierDigits(const QString& windowsStyleName) {
    qsizetype first = 0;
    while (first < windowsStyleName.size() &&
           !(windowsStyleName[first] >= '0' && windowsStyleName[first] <= '9'))
        ++first;
    return windowsStyleName.mid(first);
}

bool DeviceNodeNaturalLess(const QString& a, const QString& b) {
    auto isDigit = [](QChar c) { return c >= '0' && c <= '9'; };
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && isDigit(a[ei])) ++ei;
            while (ej < b.size() && isDigit(b[ej])) ++ej;
            // Compare the runs as numbers of any length: without leading zeros, the longer is larger.
            qsizetype si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            const int c = QStringView(a).sliced(si, ei - si).compare(QStringView(b).sliced(sj, ej - sj));
            if (c != 0) return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return (a.size() - i) < (b.size() - j);
    return a < b;  // equal but for leading zeros: still a strict order
}

QString HidInterfacePath(const QString& node, uint16_t vendorId, uint16_t productId) {
    return QStringLiteral("%1#vid_%2&pid_%3")
        .arg(node)
        .arg(vendorId, 4, 16, QLatin1Char('0'))
        .arg(productId, 4, 16, QLatin1Char('0'));
}

bool ParseHidId(const QString& hidId, uint16_t& vendorId, uint16_t& productId) {
    const QStringList parts = hidId.trimmed().split(':');
    if (parts.size() != 3) return false;
    uint16_t v = 0, p = 0;
    if (!ParseHex16(parts[1], v) || !ParseHex16(parts[2], p)) return false;
    vendorId = v;
    productId = p;
    return true;
}
