// Why a sensor's device node cannot be used, in words for the administrator reading the program
// log: no such node, no permission (with the owning group and the program's udev rule), or held by
// another program. Stateless; any thread may call these.
#pragma once

#include <QString>
#include <cstdint>

// Empty when the node exists and opens for reading and writing, and nobody else holds it.
// The probe opens the node for a moment when it can.
QString DescribeDeviceAccessProblem(const QString& devicePath);

// For a search that found no serial device nodes at all.
QString DescribeNoSerialPorts();

// What a probe of one node found; the pure half of DescribeDeviceAccessProblem.
struct tNodeAccess {
    bool Exists = false;
    uint32_t Mode = 0;           // st_mode permission bits
    uint32_t OwnerGid = 0;       // st_gid
    QString GroupName;           // of OwnerGid; empty when the system has no name for it
    int OpenError = 0;           // errno of the open attempt, 0 when it opened
    bool HeldByAnother = false;  // opened, but another descriptor holds the exclusive lock
};
QString DescribeNodeAccess(const QString& devicePath, const tNodeAccess& access);

// The file name of the program's udev rules, installed by the package.
inline constexpr const char* UdevRulesFileName = "70-rovelin.rules";
