// SPDX-License-Identifier: GPL-3.0-or-later
// What the kernel's uhid driver does (Documentation/hid/uhid.rst): UHID_CREATE2 registers a HID
// device with our report descriptor; hid_generic binds to it and a hidraw node appears. A program's
// write() on that node arrives here as UHID_OUTPUT with the report id in byte 0; UHID_INPUT2 hands
// an input report to every reader of the node. UHID_DESTROY (or closing /dev/uhid) removes the
// device: readers of the node are woken, and from then on their reads fail.
#include "sim/Simuhid.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "foundation/Exceptions.h"
#include "sim/Simports.h"

namespace {

// The sensor's clock moves on its own: due reports are looked for this often.
constexpr int kTickMs = 2;

// Vendor-defined page; input report 1 and output report 2, 63 bytes each.
const uint8_t kReportDescriptor[] = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor Defined 0xFF00)
    0x09, 0x01,        // Usage (0x01)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x01,        //   Report ID (1)
    0x09, 0x02,        //   Usage (0x02)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x3F,        //   Report Count (63)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x85, 0x02,        //   Report ID (2)
    0x09, 0x03,        //   Usage (0x03)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x3F,        //   Report Count (63)
    0x91, 0x02,        //   Output (Data, Variable, Absolute)
    0xC0,              // End Collection
};

bool WriteEvent(int fd, const uhid_event& event) {
    for (;;) {
        const ssize_t w = ::write(fd, &event, sizeof event);
        if (w == static_cast<ssize_t>(sizeof event)) return true;
        if (w < 0 && errno == EINTR) continue;
        return false;
    }
}

}  // namespace

tSimUhidDevice::tSimUhidDevice(std::shared_ptr<tSimSensor> sensor) : FSensor(std::move(sensor)) {}

tSimUhidDevice::~tSimUhidDevice() {
    Destroy();
}

bool tSimUhidDevice::Create(QString& errorText) {
    Destroy();
    FFd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (FFd < 0) {
        errorText = SystemErrorText(errno);
        return false;
    }
    auto event = std::make_unique<uhid_event>();
    std::memset(event.get(), 0, sizeof *event);
    event->type = UHID_CREATE2;
    uhid_create2_req& create = event->u.create2;
    const QByteArray name = QStringLiteral("Rovelin simulated %1").arg(FSensor->Model()).toUtf8();
    std::memcpy(create.name, name.constData(), std::min<size_t>(name.size(), sizeof create.name - 1));
    std::memcpy(create.rd_data, kReportDescriptor, sizeof kReportDescriptor);
    create.rd_size = sizeof kReportDescriptor;
    create.bus = BUS_USB;
    create.vendor = VendorId;
    create.product = ProductId;
    create.version = 0x0100;
    if (!WriteEvent(FFd, *event)) {
        errorText = SystemErrorText(errno);
        ::close(FFd);
        FFd = -1;
        return false;
    }
    FStop = std::make_unique<tStopSignal>();
    FThread = std::thread([this] { Run(); });
    return true;
}

void tSimUhidDevice::Destroy() {
    if (FFd < 0) return;
    FStop->Set();
    if (FThread.joinable()) FThread.join();
    auto event = std::make_unique<uhid_event>();
    std::memset(event.get(), 0, sizeof *event);
    event->type = UHID_DESTROY;
    WriteEvent(FFd, *event);
    ::close(FFd);
    FFd = -1;
    FOpened.store(false);
}

void tSimUhidDevice::Run() {
    while (!FStop->IsSet()) {
        pollfd p[2] = {{FFd, POLLIN, 0}, {FStop->Fd(), POLLIN, 0}};
        if (::poll(p, 2, kTickMs) < 0 && errno != EINTR) return;
        if (p[0].revents & POLLIN) HandleEvent();
        if (SimInputReportDue(*FSensor)) SendInputReport();
    }
}

void tSimUhidDevice::HandleEvent() {
    auto event = std::make_unique<uhid_event>();
    std::memset(event.get(), 0, sizeof *event);
    if (::read(FFd, event.get(), sizeof *event) <= 0) return;
    switch (event->type) {
        case UHID_OPEN:
            FOpened.store(true);
            break;
        case UHID_CLOSE:
            FOpened.store(false);
            break;
        case UHID_OUTPUT: {
            const uhid_output_req& output = event->u.output;
            if (output.rtype == UHID_OUTPUT_REPORT)
                SimReceiveOutputReport(*FSensor, output.data,
                                       std::min<size_t>(output.size, sizeof output.data));
            break;
        }
        // The sensor has no feature reports: both requests are refused, so the asker does not wait.
        case UHID_GET_REPORT:
            Refuse(UHID_GET_REPORT_REPLY, event->u.get_report.id);
            break;
        case UHID_SET_REPORT:
            Refuse(UHID_SET_REPORT_REPLY, event->u.set_report.id);
            break;
        default:
            break;
    }
}

void tSimUhidDevice::Refuse(uint32_t replyType, uint32_t requestId) {
    auto event = std::make_unique<uhid_event>();
    std::memset(event.get(), 0, sizeof *event);
    event->type = replyType;
    if (replyType == UHID_GET_REPORT_REPLY) {
        event->u.get_report_reply.id = requestId;
        event->u.get_report_reply.err = EIO;
    } else {
        event->u.set_report_reply.id = requestId;
        event->u.set_report_reply.err = EIO;
    }
    WriteEvent(FFd, *event);
}

void tSimUhidDevice::SendInputReport() {
    const std::vector<uint8_t> report = SimTakeInputReport(*FSensor, FFullCount);
    auto event = std::make_unique<uhid_event>();
    std::memset(event.get(), 0, sizeof *event);
    event->type = UHID_INPUT2;
    event->u.input2.size = static_cast<uint16_t>(std::min(report.size(), sizeof event->u.input2.data));
    std::memcpy(event->u.input2.data, report.data(), event->u.input2.size);
    WriteEvent(FFd, *event);
}
