// SPDX-License-Identifier: GPL-3.0-or-later
// The HID command exchange: requests cut into output reports, replies gathered from input reports
// (report id, count byte, useful bytes) with a carry buffer for bytes beyond what one request asked
// for. The report ids, lengths and the Wine correction follow platform/Hidquirks.h, read from the
// settings for every report.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Hidport.h"

class tSettings;

struct tHidLink {
    tHidPort* Port = nullptr;
    const tSettings* Settings = nullptr;
    int InputReportLength = 0;   // including the report-id byte
    int OutputReportLength = 0;  // including the report-id byte
    std::vector<uint8_t>* CarryBuffer = nullptr;
};

// Same contract as the serial exchange: true only when every report was written in full and
// exactly `replyLength` bytes were gathered into `reply` (carry buffer first). Never copies beyond
// a report or beyond `replyLength`.
bool HidExchange(tHidLink& link, const uint8_t* request, uint32_t length, int timeoutMs, uint32_t replyLength,
                 uint8_t* reply);
