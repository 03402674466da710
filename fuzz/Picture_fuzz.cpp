// SPDX-License-Identifier: GPL-3.0-or-later
// A decoder of report pictures on any bytes: a picture within the pixel cap, or tException. Built
// twice: ROVELIN_PICTURE_DECODER is DecodeJpeg or DecodeBmp.
#include "app/Picture.h"
#include "foundation/Exceptions.h"
#include "fuzz/Fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    rovelin_fuzz::EnsureGuiApplication();
    try {
        const QImage image = ROVELIN_PICTURE_DECODER(rovelin_fuzz::Bytes(data, size), QStringLiteral("fuzz"));
        FUZZ_CHECK(!image.isNull());
        FUZZ_CHECK(qint64(image.width()) * image.height() <= kMaxPicturePixels);
    } catch (const tException&) {
    }
    return 0;
}
