#include "shell/group_box_style.h"

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QPainter>
#include <QStyleOption>
#include <algorithm>
#include <qdrawutil.h>

#include "shell/png_image.h"

namespace korvid {
namespace {

// Where Fusion keeps its frame picture, the picture's border on every side, and the room
// Fusion leaves above the frame beside the title's height.
const QString FusionFramePicture =
    QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png");
constexpr int Border = 6;
constexpr int FusionTopMargin = 3;

// Qt's raster engine splits a scaled picture drawn over 96 rows or more across a pool of
// threads, which it starts the first time; bands of fewer rows are drawn on the painting
// thread.
constexpr int BandRows = 64;

// The side of the tile that stands for the stretched centre.
constexpr int TileSide = 64;

bool IsFusion(const QStyle* style) {
    return style != nullptr &&
           style->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0;
}

// The picture's pixels, one 32-bit word each (the form a pixmap of it holds).
const QRgb* Pixels(const QImage& image, int x, int y) {
    return reinterpret_cast<const QRgb*>(image.constScanLine(y)) + x;
}

bool RowsAlike(const QImage& image, const QRect& part) {
    for (int y = part.top() + 1; y <= part.bottom(); ++y) {
        if (!std::equal(Pixels(image, part.left(), y), Pixels(image, part.right() + 1, y),
                        Pixels(image, part.left(), part.top()))) {
            return false;
        }
    }
    return true;
}

bool ColumnsAlike(const QImage& image, const QRect& part) {
    for (int y = part.top(); y <= part.bottom(); ++y) {
        const QRgb* row = Pixels(image, part.left(), y);
        if (std::any_of(row, row + part.width(), [row](QRgb pixel) { return pixel != *row; })) {
            return false;
        }
    }
    return true;
}

// Whether each part qDrawBorderPixmap stretches is alike along its stretch: then the part
// stretched over a band of a side is that band of the side stretched, and the centre
// stretched is the centre tiled.
bool StretchedPartsAlike(const QImage& picture) {
    const int w = picture.width();
    const int h = picture.height();
    if (w <= 2 * Border || h <= 2 * Border) {
        return false;
    }
    const QRect centre(Border, Border, w - 2 * Border, h - 2 * Border);
    return RowsAlike(picture, centre) && ColumnsAlike(picture, centre) &&
           RowsAlike(picture, QRect(0, Border, Border, centre.height())) &&
           RowsAlike(picture, QRect(w - Border, Border, Border, centre.height())) &&
           ColumnsAlike(picture, QRect(Border, 0, centre.width(), Border)) &&
           ColumnsAlike(picture, QRect(Border, h - Border, centre.width(), Border));
}

void DrawInBands(QPainter* painter, const QRect& target, const QPixmap& picture,
                 const QRect& source) {
    for (int top = target.top(); top <= target.bottom(); top += BandRows) {
        const int rows = std::min(BandRows, target.bottom() + 1 - top);
        painter->drawPixmap(QRect(target.left(), top, target.width(), rows), picture, source);
    }
}

}  // namespace

QPixmap GroupBoxFrameStyle::MakeCentreTile(const QPixmap& picture) {
    const QRect centre(Border, Border, picture.width() - 2 * Border,
                       picture.height() - 2 * Border);
    // Alike everywhere, the centre scaled to the tile's size is the centre stretched.
    return QPixmap::fromImage(picture.toImage().copy(centre).scaled(
        TileSide, TileSide, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

// What qDrawBorderPixmap draws with the same margins on the picture and the target: every
// corner as it is, every side and the centre stretched. Stretched, a part takes Qt's general
// path for scaled pictures (a fetch and a conversion a pixel, and over 96 rows a pool of
// threads started for it): for the centre, most of the frame's pixels, that was the slowest
// part of the window's first paint. The sides are still stretched, in bands, as the general
// path's rounding at their inner edges is part of their look; the centre, alike everywhere,
// is tiled and blended straight.
void GroupBoxFrameStyle::DrawFrame(QPainter* painter, const QRect& target) const {
    const int w = frame_.width();
    const int h = frame_.height();
    const int left = target.left();
    const int top = target.top();
    const int right = target.right() + 1 - Border;
    const int bottom = target.bottom() + 1 - Border;
    const int across = target.width() - 2 * Border;
    const int down = target.height() - 2 * Border;
    const auto corner = [&](int x, int y, int source_x, int source_y) {
        painter->drawPixmap(QPoint(x, y), frame_, QRect(source_x, source_y, Border, Border));
    };
    corner(left, top, 0, 0);
    corner(right, top, w - Border, 0);
    corner(left, bottom, 0, h - Border);
    corner(right, bottom, w - Border, h - Border);
    DrawInBands(painter, QRect(left + Border, top, across, Border), frame_,
                QRect(Border, 0, w - 2 * Border, Border));
    DrawInBands(painter, QRect(left + Border, bottom, across, Border), frame_,
                QRect(Border, h - Border, w - 2 * Border, Border));
    DrawInBands(painter, QRect(left, top + Border, Border, down), frame_,
                QRect(0, Border, Border, h - 2 * Border));
    DrawInBands(painter, QRect(right, top + Border, Border, down), frame_,
                QRect(w - Border, Border, Border, h - 2 * Border));
    painter->drawTiledPixmap(QRect(left + Border, top + Border, across, down), centre_tile_);
}

GroupBoxFrameStyle::GroupBoxFrameStyle(QStyle* base) : QProxyStyle(base) {}

void GroupBoxFrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                       QPainter* painter, const QWidget* widget) const {
    if (element != PE_FrameGroupBox || !IsFusion(baseStyle())) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    if (frame_.isNull()) {
        frame_ = BuiltInPng(FusionFramePicture);
        if (frame_.isNull()) {  // a Qt without the picture, or one in a form not read here
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        tiled_ = StretchedPartsAlike(
            frame_.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied));
        if (tiled_) {
            centre_tile_ = MakeCentreTile(frame_);
        }
    }
    // Fusion's rule: a box without a title or check box keeps only the margin; otherwise the
    // frame starts below the taller of the title and the check box.
    const auto* box = qobject_cast<const QGroupBox*>(widget);
    const int top = box != nullptr && !box->isCheckable() && box->title().isEmpty()
                        ? FusionTopMargin
                        : qMax(baseStyle()->pixelMetric(PM_ExclusiveIndicatorHeight),
                               option->fontMetrics.height()) +
                              FusionTopMargin;
    const QRect frame = option->rect.adjusted(0, top, 0, 0);
    // Bands and tiles give the same pixels only where device pixels are the picture's own.
    if (tiled_ && frame.width() > 2 * Border && frame.height() > 2 * Border &&
        painter->deviceTransform().type() <= QTransform::TxTranslate) {
        DrawFrame(painter, frame);
    } else {
        qDrawBorderPixmap(painter, frame, QMargins(Border, Border, Border, Border), frame_);
    }
}

void UseGroupBoxFrameStyle() {
    QStyle* style = QApplication::style();
    if (IsFusion(style) && dynamic_cast<GroupBoxFrameStyle*>(style) == nullptr) {
        QApplication::setStyle(new GroupBoxFrameStyle(style));
    }
}

}  // namespace korvid
