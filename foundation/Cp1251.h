// SPDX-License-Identifier: GPL-3.0-or-later
// Windows-1251, the code page of every Russian document and catalogue from the Windows world: one
// table of ours, so decoding and encoding agree for every byte whatever Qt was built with. Used by
// the text-file reader and by the RTF reader and writer.
#pragma once

#include <QByteArray>
#include <QString>

// Each byte as its character; 0x98, the one unassigned byte, becomes U+FFFD.
QString DecodeCp1251(const QByteArray& bytes);
// The byte of `c`, or -1 when the code page has no such character.
int Cp1251Byte(char16_t c);
// Characters outside the code page (a surrogate pair counts as one) become '?'.
QByteArray EncodeCp1251(const QString& text);
