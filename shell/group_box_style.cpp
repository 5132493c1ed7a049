#include "shell/group_box_style.h"

#include <QApplication>
#include <QGroupBox>
#include <QStyleOption>
#include <qdrawutil.h>

#include "shell/png_image.h"

namespace korvid {
namespace {

// Where Fusion keeps its frame picture, and the room it leaves above the frame beside the
// title's height.
const QString FusionFramePicture =
    QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png");
constexpr int FusionTopMargin = 3;

bool IsFusion(const QStyle* style) {
    return style != nullptr && style->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0;
}

}  // namespace

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
    }
    // Fusion's rule: a box without a title or check box keeps only the margin; otherwise the
    // frame starts below the taller of the title and the check box.
    const auto* box = qobject_cast<const QGroupBox*>(widget);
    const int top = box != nullptr && !box->isCheckable() && box->title().isEmpty()
                        ? FusionTopMargin
                        : qMax(baseStyle()->pixelMetric(PM_ExclusiveIndicatorHeight),
                               option->fontMetrics.height()) +
                              FusionTopMargin;
    qDrawBorderPixmap(painter, option->rect.adjusted(0, top, 0, 0), QMargins(6, 6, 6, 6), frame_);
}

void UseGroupBoxFrameStyle() {
    QStyle* style = QApplication::style();
    if (IsFusion(style) && dynamic_cast<GroupBoxFrameStyle*>(style) == nullptr) {
        QApplication::setStyle(new GroupBoxFrameStyle(style));
    }
}

}  // namespace korvid
