// SPDX-License-Identifier: GPL-3.0-or-later
// Why a sensor's device node cannot be used, in words for the administrator reading the program
// log: no such node, no permission (with the owning group and the program's udev rule), or held by
// another program. Stateless; any thread may call these.
#pragma once

#include <QString>
#include <cstdint>

// What kind of obstacle a node is; the words for the user are chosen by kind.
enum class tAccessKind {
    None,        // the node opens and nobody holds it
    Missing,     // no such node
    Permission,  // the user may not open it
    Busy,        // another program holds it
    Failed       // any other error of the system
};

struct tAccessProblem {
    tAccessKind Kind = tAccessKind::None;
    QString Text;   // the administrator's sentence; empty for None
    QString Group;  // Permission: the node's group (name, or number when it has no name)
};

// Probes the node (opens it for a moment when it can) and says what stops the program using it.
tAccessProblem ProbeDeviceAccess(const QString& devicePath);
// The text of ProbeDeviceAccess: empty when the node exists, opens, and nobody else holds it.
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
tAccessProblem ClassifyNodeAccess(const QString& devicePath, const tNodeAccess& access);

// The file name of the program's udev rules, installed by the package.
inline constexpr const char* UdevRulesFileName = "70-rovelin.rules";
