#include "shell/png_image.h"

#include <png.h>

#include <QFile>

namespace korvid {
namespace {

// Far above any built-in picture; keeps a damaged header from asking for gigabytes.
constexpr png_uint_32 LargestSide = 4096;

// Releases libpng's reading state on every path.
struct PngRead {
    png_image image{};
    PngRead() { image.version = PNG_IMAGE_VERSION; }
    ~PngRead() { png_image_free(&image); }
    PngRead(const PngRead&) = delete;
    PngRead& operator=(const PngRead&) = delete;
};

}  // namespace

QImage DecodePng(const QByteArray& data) {
    PngRead read;
    if (png_image_begin_read_from_memory(&read.image, data.constData(),
                                         static_cast<png_size_t>(data.size())) == 0 ||
        read.image.width == 0 || read.image.height == 0 || read.image.width > LargestSide ||
        read.image.height > LargestSide) {
        return {};
    }
    // Qt's ARGB32 is a native 0xAARRGGBB word a pixel, not premultiplied.
    read.image.format =
        QSysInfo::ByteOrder == QSysInfo::LittleEndian ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
    QImage picture(static_cast<int>(read.image.width), static_cast<int>(read.image.height),
                   QImage::Format_ARGB32);
    if (picture.isNull() ||
        png_image_finish_read(&read.image, nullptr, picture.bits(),
                              static_cast<png_int_32>(picture.bytesPerLine()), nullptr) == 0) {
        return {};
    }
    return picture;
}

QPixmap BuiltInPng(const QString& resource_path) {
    QFile file(resource_path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QPixmap::fromImage(DecodePng(file.readAll()));
}

}  // namespace korvid
