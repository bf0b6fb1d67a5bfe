// libFuzzer target: the JPEG decoder behind the pictures of the About window and the banner.
#include "windows/JpegPicture.h"

#include <QByteArray>
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QImage image = DecodeJpeg(bytes);
    if (!image.isNull()) {
        if (image.format() != QImage::Format_RGB32 || image.width() <= 0 || image.height() <= 0)
            std::abort();
        // Touch the last pixel: the decoder must have filled the whole image it claims.
        (void)image.pixel(image.width() - 1, image.height() - 1);
    }
    return 0;
}
