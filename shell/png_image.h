#pragma once
// The program's own PNG pictures (the toolbar icons, the window icon), decoded with libpng.
// Reading them through QImageReader makes Qt look through its image-format plugins first,
// even with the format named, which is a noticeable part of the window's start.

#include <QByteArray>
#include <QImage>
#include <QPixmap>
#include <QString>

namespace korvid {

// The picture, or a null image for a damaged file or a form not read here.
QImage DecodePng(const QByteArray& data);

// The built-in picture at the resource path (":/korvid/icon0.png"); a null pixmap when it
// cannot be read.
QPixmap BuiltInPng(const QString& resource_path);

}  // namespace korvid
