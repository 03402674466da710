// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Settingkeys.h"

#include <array>

#include "foundation/Functions.h"
#include "foundation/Settings.h"

namespace {
constexpr std::array<const tSettingKey*, 14> kKeys = {
    &setting::UseFTDI, &setting::UseCDC,   &setting::UseHID,          &setting::SerialPorts,
    &setting::HidVid,  &setting::HidPid,   &setting::HidSendReportId, &setting::HidRecvReportId,
    &setting::Timeout, &setting::IgnoreCD, &setting::Latency,         &setting::InSize,
    &setting::OutSize, &setting::FixWine};
}  // namespace

std::span<const tSettingKey* const> SettingKeys() {
    return kKeys;
}

int SettingInt(const tSettings* settings, const tSettingKey& key) {
    const int fallback = StrToIntDef(QString::fromLatin1(key.Default), 0);
    return settings ? settings->GetInt(QString::fromLatin1(key.Name), fallback) : fallback;
}

QString SettingText(const tSettings* settings, const tSettingKey& key) {
    const QString value = settings ? settings->GetSettingByName(QString::fromLatin1(key.Name)) : QString();
    return value.isEmpty() ? QString::fromLatin1(key.Default) : value;
}
