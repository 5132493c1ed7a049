// The built-in PNG pictures decoded without Qt's image readers: every one gives the pixels
// Qt's own PNG reader gives, and a damaged or unread form gives a null image, never a crash.

#include "shell/png_image.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>

namespace korvid {
namespace {

QByteArray Resource(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

TEST(PngImageTest, BuiltInPicturesDecodeAsQtDecodesThem) {
    const QStringList names = QDir(QStringLiteral(":/korvid")).entryList({"*.png"});
    ASSERT_GE(names.size(), 9);  // the eight toolbar icons and the window icon
    for (const QString& name : names) {
        const QString path = ":/korvid/" + name;
        const QImage expected =
            QImage::fromData(Resource(path), "PNG").convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(expected.isNull()) << name.toStdString();
        EXPECT_EQ(DecodePng(Resource(path)), expected) << name.toStdString();
        // A pixmap holds its pixels in the platform's form: Qt's own is made the same way.
        EXPECT_EQ(BuiltInPng(path).toImage(), QPixmap::fromImage(expected).toImage())
            << name.toStdString();
    }
    EXPECT_TRUE(BuiltInPng(QStringLiteral(":/korvid/missing.png")).isNull());
}

TEST(PngImageTest, DamagedAndUnreadFormsGiveANullImage) {
    const QByteArray icon = Resource(QStringLiteral(":/korvid/icon0.png"));
    const QByteArray palette = Resource(QStringLiteral(":/korvid/korvid-32.png"));
    ASSERT_FALSE(DecodePng(icon).isNull());
    // Cut anywhere before its end chunk, a file is incomplete.
    for (qsizetype length = 0; length < icon.size() - 12; ++length) {
        EXPECT_TRUE(DecodePng(icon.left(length)).isNull()) << length;
    }
    // IHDR's fields start at byte 16: width, height, bit depth, colour type, ..., interlace;
    // a changed field no longer matches the chunk's checksum.
    const auto changed = [](QByteArray bytes, qsizetype at, char value) {
        bytes[at] = value;
        return bytes;
    };
    EXPECT_TRUE(DecodePng(changed(icon, 24, 16)).isNull());                 // 16 bits a sample
    EXPECT_TRUE(DecodePng(changed(icon, 25, 4)).isNull());                  // grey with alpha
    EXPECT_TRUE(DecodePng(changed(icon, 28, 1)).isNull());                  // interlaced
    EXPECT_TRUE(DecodePng(changed(icon, 16, '\x7f')).isNull());             // far too wide
    EXPECT_TRUE(DecodePng(changed(icon, 19, '\x11')).isNull());             // wider than its data
    EXPECT_TRUE(DecodePng(changed(icon, 0, 'X')).isNull());                 // no signature
    EXPECT_TRUE(DecodePng(changed(palette, 25, 6)).isNull());               // palette as RGBA
    // Every byte of the palette file's data flipped in turn: a picture or nothing, no crash.
    for (qsizetype at = 33; at < palette.size(); ++at) {
        const QImage image = DecodePng(changed(palette, at, static_cast<char>(~palette[at])));
        EXPECT_TRUE(image.isNull() || image.size() == QSize(32, 32)) << at;
    }
}

}  // namespace
}  // namespace korvid
