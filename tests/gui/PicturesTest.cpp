#include "windows/Pictures.h"

#include "windows/JpegPicture.h"

#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <random>
#include <vector>

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Encodes raw samples (components per pixel as the colour space needs) with libjpeg.
QByteArray EncodeJpeg(int width, int height, J_COLOR_SPACE space, int components,
                      const std::vector<JSAMPLE>& samples, bool progressive = false) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(samples.data()) +
                       static_cast<size_t>(info.next_scanline) * width * components;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return bytes;
}

// Left half one colour, right half another, `components` samples each.
std::vector<JSAMPLE> TwoHalves(int width, int height, std::vector<JSAMPLE> left,
                               std::vector<JSAMPLE> right) {
    std::vector<JSAMPLE> samples;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto& colour = x < width / 2 ? left : right;
            samples.insert(samples.end(), colour.begin(), colour.end());
        }
    }
    return samples;
}

bool Near(QRgb pixel, int r, int g, int b, int tolerance) {
    return std::abs(qRed(pixel) - r) <= tolerance && std::abs(qGreen(pixel) - g) <= tolerance &&
           std::abs(qBlue(pixel) - b) <= tolerance;
}

int CountPixels(const QImage& image, QRect area, bool (*match)(QRgb)) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += match(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

bool IsWhite(QRgb p) {
    return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200;
}
bool IsDark(QRgb p) {
    return qRed(p) < 24 && qGreen(p) < 24 && qBlue(p) < 24;
}
bool IsRed(QRgb p) {
    return qRed(p) > 180 && qGreen(p) < 90 && qBlue(p) < 90;
}
bool IsBlue(QRgb p) {
    return qAlpha(p) == 255 && qBlue(p) > qRed(p) + 60 && qBlue(p) > qGreen(p);
}
bool IsGreen(QRgb p) {
    return qAlpha(p) == 255 && qGreen(p) > qRed(p) + 60 && qGreen(p) > qBlue(p) + 40;
}

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitPictureResources(); }
};

TEST_F(Pictures, ShippedJpegsDecodeToTheirSizes) {
    const struct {
        const char* path;
        QSize size;
    } cases[] = {{":/pictures/banner.jpg", {590, 54}}, {":/pictures/about-logo.jpg", {70, 18}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const QImage image = LoadJpegPicture(QString::fromLatin1(c.path));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), c.size);
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
        EXPECT_EQ(image, DecodeJpeg(ReadFile(QString::fromLatin1(c.path))));
    }
}

TEST_F(Pictures, BannerHasTheLogoAtTheLeftAndTheGreyBandAtTheLowerRight) {
    const QImage banner = LoadJpegPicture(QStringLiteral(":/pictures/banner.jpg"));
    ASSERT_EQ(banner.size(), QSize(590, 54));
    // Black ground: the top rows across the whole width and the lower left under the logo.
    EXPECT_EQ(CountPixels(banner, QRect(0, 0, 590, 6), IsDark), 590 * 6);
    EXPECT_EQ(CountPixels(banner, QRect(0, 46, 180, 8), IsDark), 180 * 8);
    // The white wordmark and the red dot of the mark at the left, nothing white at the right.
    EXPECT_GT(CountPixels(banner, QRect(50, 14, 160, 24), IsWhite), 400);
    EXPECT_GT(CountPixels(banner, QRect(10, 28, 20, 16), IsRed), 10);
    EXPECT_EQ(CountPixels(banner, QRect(300, 0, 290, 40), IsWhite), 0);
    // The band continues the content area below the banner.
    for (const QPoint p : {QPoint(240, 47), QPoint(350, 52), QPoint(430, 43), QPoint(586, 49)}) {
        EXPECT_TRUE(Near(banner.pixel(p), 49, 49, 49, 6))
            << p.x() << "," << p.y() << " is " << std::hex << banner.pixel(p);
    }
    EXPECT_TRUE(IsDark(banner.pixel(400, 30)));
}

TEST_F(Pictures, AboutLogoIsWhiteOnBlack) {
    const QImage logo = LoadJpegPicture(QStringLiteral(":/pictures/about-logo.jpg"));
    ASSERT_EQ(logo.size(), QSize(70, 18));
    EXPECT_EQ(CountPixels(logo, QRect(0, 0, 70, 1), IsDark), 70);
    EXPECT_EQ(CountPixels(logo, QRect(0, 17, 70, 1), IsDark), 70);
    EXPECT_GT(CountPixels(logo, QRect(15, 4, 55, 11), IsWhite), 60);
    EXPECT_GT(CountPixels(logo, QRect(0, 0, 70, 18), IsDark), 70 * 18 / 2);
}

TEST(DecodeJpeg, DecodesColourGreyProgressiveAndCmykPictures) {
    const int w = 32, h = 16;
    const struct {
        const char* name;
        QByteArray bytes;
        QRgb left, right;
    } cases[] = {
        {"rgb", EncodeJpeg(w, h, JCS_RGB, 3, TwoHalves(w, h, {220, 30, 30}, {20, 60, 230})),
         qRgb(220, 30, 30), qRgb(20, 60, 230)},
        {"progressive",
         EncodeJpeg(w, h, JCS_RGB, 3, TwoHalves(w, h, {30, 200, 60}, {250, 250, 250}), true),
         qRgb(30, 200, 60), qRgb(250, 250, 250)},
        {"grey", EncodeJpeg(w, h, JCS_GRAYSCALE, 1, TwoHalves(w, h, {40}, {200})), qRgb(40, 40, 40),
         qRgb(200, 200, 200)},
        // Adobe convention: stored inverted, so 255,0,0,255 is red and 0,0,255,255 blue.
        {"cmyk", EncodeJpeg(w, h, JCS_CMYK, 4, TwoHalves(w, h, {255, 0, 0, 255}, {0, 0, 255, 255})),
         qRgb(255, 0, 0), qRgb(0, 0, 255)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage image = DecodeJpeg(c.bytes);
        ASSERT_EQ(image.size(), QSize(w, h));
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 255);
        EXPECT_TRUE(Near(image.pixel(4, h / 2), qRed(c.left), qGreen(c.left), qBlue(c.left), 8))
            << std::hex << image.pixel(4, h / 2);
        EXPECT_TRUE(
            Near(image.pixel(w - 4, h / 2), qRed(c.right), qGreen(c.right), qBlue(c.right), 8))
            << std::hex << image.pixel(w - 4, h / 2);
    }
}

// Sets the height and width of the first baseline frame header.
QByteArray WithFrameSize(QByteArray jpeg, quint16 width, quint16 height) {
    const qsizetype sof = jpeg.indexOf(QByteArray("\xff\xc0", 2));
    if (sof < 0 || sof + 9 > jpeg.size()) {
        return {};
    }
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height & 0xff);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width & 0xff);
    return jpeg;
}

TEST_F(Pictures, BrokenInputGivesANullImage) {
    const QByteArray good = ReadFile(QStringLiteral(":/pictures/banner.jpg"));
    ASSERT_FALSE(DecodeJpeg(good).isNull());
    ASSERT_EQ(WithFrameSize(good, 590, 54), good);
    QByteArray scrambled = good;
    for (qsizetype i = 0; i < 40; ++i) {
        scrambled[i] = static_cast<char>(i * 37);
    }
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty", {}},
        {"text", QByteArrayLiteral("this is not a picture at all")},
        {"png", ReadFile(QStringLiteral(":/pictures/device.png"))},
        {"start marker only", QByteArray("\xff\xd8", 2)},
        {"start marker and garbage", QByteArray("\xff\xd8\xff\x00\x13\x37 junk", 10)},
        {"headers only", good.left(good.indexOf(QByteArray("\xff\xda", 2)))},
        {"cut in half", good.left(good.size() / 2)},
        {"last byte missing", good.left(good.size() - 1)},
        {"scrambled header", scrambled},
        {"zero width", WithFrameSize(good, 0, 54)},
        {"absurd size", WithFrameSize(good, 65000, 65000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(DecodeJpeg(c.bytes).isNull());
    }
}

// Corrupt bytes anywhere (headers, tables, entropy data) must never crash or abort: the
// decoder gives either a null image or a picture of the size the header promises.
TEST_F(Pictures, CorruptedBannersNeverCrashTheDecoder) {
    const QByteArray good = ReadFile(QStringLiteral(":/pictures/banner.jpg"));
    ASSERT_FALSE(good.isEmpty());
    std::mt19937 random(20261210);
    std::uniform_int_distribution<qsizetype> position(0, good.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255), count(1, 8);
    int nulls = 0;
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes = good;
        for (int n = count(random); n > 0; --n) {
            bytes[position(random)] = static_cast<char>(byte(random));
        }
        const QImage image = DecodeJpeg(bytes);
        if (image.isNull()) {
            ++nulls;
        } else {
            EXPECT_EQ(image.format(), QImage::Format_RGB32) << "round " << round;
        }
    }
    EXPECT_GT(nulls, 0);
}

TEST_F(Pictures, LoadJpegPictureRefusesWhatItCannotReadOrDecode) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString garbage = dir.filePath(QStringLiteral("garbage.jpg"));
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xff\xd8\xff\xe0 not really");
    file.close();
    for (const QString& path :
         {dir.filePath(QStringLiteral("missing.jpg")), dir.path(), garbage,
          QStringLiteral(":/pictures/missing.jpg"), QStringLiteral(":/pictures/device.png")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_TRUE(LoadJpegPicture(path).isNull());
    }
}

TEST_F(Pictures, PngPicturesHaveTheirSizesAndTransparentCorners) {
    const struct {
        const char* path;
        QSize size;
    } cases[] = {
        {":/pictures/device.png", {32, 32}},         {":/pictures/pathmere.png", {20, 18}},
        {":/pictures/pathmere-32.png", {32, 32}},    {":/pictures/pathmere-48.png", {48, 48}},
        {":/pictures/pathmere-64.png", {64, 64}},    {":/pictures/pathmere-128.png", {128, 128}},
        {":/pictures/pathmere-256.png", {256, 256}}, {":/pictures/about-icon-16.png", {16, 16}},
        {":/pictures/about-icon-32.png", {32, 32}},  {":/pictures/about-icon-48.png", {48, 48}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const QImage image(QString::fromLatin1(c.path));
        ASSERT_EQ(image.size(), c.size);
        ASSERT_TRUE(image.hasAlphaChannel());
        const int w = c.size.width(), h = c.size.height();
        // Rounded shapes leave at most a half-covered antialiased edge in the corner pixels.
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)}) {
            EXPECT_LT(qAlpha(image.pixel(corner)), 128) << corner.x() << "," << corner.y();
        }
        EXPECT_GT(CountPixels(image, image.rect(), [](QRgb p) { return qAlpha(p) == 255; }),
                  w * h / 4);
    }
}

TEST_F(Pictures, DevicePictureShowsBlueScreensAndAGreenCable) {
    const QImage device(QStringLiteral(":/pictures/device.png"));
    ASSERT_EQ(device.size(), QSize(32, 32));
    // Two screens: blue in both the left and the right half, above the cable.
    EXPECT_GT(CountPixels(device, QRect(0, 0, 16, 18), IsBlue), 60);
    EXPECT_GT(CountPixels(device, QRect(16, 0, 16, 18), IsBlue), 60);
    EXPECT_GT(CountPixels(device, QRect(0, 18, 32, 14), IsGreen), 20);
    EXPECT_EQ(CountPixels(device, QRect(0, 18, 32, 14), IsBlue), 0);
}

TEST_F(Pictures, IconsCarryEveryDrawnSize) {
    const struct {
        const char* name;
        QIcon icon;
        std::vector<QSize> sizes;
    } cases[] = {
        {"program",
         ProgramIcon(),
         {{20, 18}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}},
        {"about", AboutIcon(), {{16, 16}, {32, 32}, {48, 48}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.icon.availableSizes().size(), static_cast<qsizetype>(c.sizes.size()));
        for (const QSize size : c.sizes) {
            const QPixmap pixmap = c.icon.pixmap(size);
            EXPECT_EQ(pixmap.size(), size);
            EXPECT_TRUE(pixmap.hasAlphaChannel());
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
