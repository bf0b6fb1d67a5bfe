#include "windows/JpegPicture.h"

#include <QFile>
#include <QSysInfo>
#include <csetjmp>
#include <jpeglib.h>

// Outside any namespace, as Q_INIT_RESOURCE requires.
static void RegisterPictures() {
    Q_INIT_RESOURCE(pictures);
}

void InitPictureResources() {
    static const bool registered = (RegisterPictures(), true);
    Q_UNUSED(registered);
}

namespace {

// Far beyond any picture of the program, small enough that a forged header cannot make us
// allocate gigabytes.
constexpr JDIMENSION kMaxSide = 8192;
constexpr quint64 kMaxPixels = 16ull * 1024 * 1024;
constexpr qint64 kMaxFileBytes = 32ll * 1024 * 1024;

// libjpeg's default handler calls exit(); ours jumps back to the decoder instead. Warnings
// (premature end of data, corrupt entropy data) count as failures: libjpeg would otherwise
// hand back a picture padded with grey.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void ErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void EmitMessage(j_common_ptr info, int level) {
    if (level < 0) {
        ++info->err->num_warnings;
    }
}

void OutputMessage(j_common_ptr) {}

// RGB32 wants an opaque 0xff in its fourth byte, which only the alpha layouts promise.
J_COLOR_SPACE NativeRgb32Space() {
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRA : JCS_EXT_ARGB;
}

// Adobe writes CMYK JPEGs inverted; libjpeg hands the stored values back unchanged.
void CmykRowToRgb32(const JSAMPLE* cmyk, QRgb* out, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4) {
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
    }
}

// Nothing with a destructor may live in this frame: the error handler leaves it by longjmp.
bool DecodeInto(const QByteArray& bytes, QImage& image) {
    jpeg_decompress_struct info{};
    ErrorManager error{};
    info.err = jpeg_std_error(&error.base);
    error.base.error_exit = ErrorExit;
    error.base.emit_message = EmitMessage;
    error.base.output_message = OutputMessage;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || info.image_width == 0 ||
        info.image_height == 0 || info.image_width > kMaxSide || info.image_height > kMaxSide ||
        quint64{info.image_width} * info.image_height > kMaxPixels) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : NativeRgb32Space();
    jpeg_start_decompress(&info);

    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                   QImage::Format_RGB32);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    JSAMPARRAY cmykRow = cmyk ? (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info),
                                                          JPOOL_IMAGE, info.output_width * 4, 1)
                              : nullptr;
    while (info.output_scanline < info.output_height) {
        uchar* line = image.scanLine(static_cast<int>(info.output_scanline));
        if (cmyk) {
            jpeg_read_scanlines(&info, cmykRow, 1);
            CmykRowToRgb32(cmykRow[0], reinterpret_cast<QRgb*>(line), info.output_width,
                           info.saw_Adobe_marker);
        } else {
            JSAMPROW row = line;
            jpeg_read_scanlines(&info, &row, 1);
        }
    }
    jpeg_finish_decompress(&info);
    const bool whole = info.err->num_warnings == 0;
    jpeg_destroy_decompress(&info);
    return whole;
}

} // namespace

QImage DecodeJpeg(const QByteArray& bytes) {
    if (bytes.isEmpty()) {
        return {};
    }
    QImage image;
    if (!DecodeInto(bytes, image)) {
        return {};
    }
    return image;
}

QImage LoadJpegPicture(const QString& path) {
    InitPictureResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes) {
        return {};
    }
    return DecodeJpeg(file.read(kMaxFileBytes));
}
