#pragma once
// The window's style with one change: under Fusion, a group box's frame is drawn from Fusion's
// own frame picture decoded by the program's PNG reader. Fusion loads that picture through
// QImageReader, which makes Qt load its image-format plugins at the first paint.

#include <QPixmap>
#include <QProxyStyle>

namespace korvid {

class GroupBoxFrameStyle : public QProxyStyle {
  public:
    // Takes the style over, as QProxyStyle does.
    explicit GroupBoxFrameStyle(QStyle* base);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

  private:
    mutable QPixmap frame_;  // decoded at the first frame drawn
};

// Puts GroupBoxFrameStyle over the application's style when that is Fusion; any other style
// (a desktop's own, or one the user chose) is left as it is.
void UseGroupBoxFrameStyle();

}  // namespace korvid
