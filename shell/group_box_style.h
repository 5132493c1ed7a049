#pragma once
// The window's style with one change: under Fusion, a group box's frame is drawn from Fusion's
// own frame picture decoded by the program's PNG reader, its centre tiled. Fusion loads that
// picture through QImageReader, which makes Qt load its image-format plugins at the first
// paint, and stretches its centre through Qt's slow general path for scaled pictures.

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
    // The picture's centre as a tile of the same pixels.
    static QPixmap MakeCentreTile(const QPixmap& picture);
    void DrawFrame(QPainter* painter, const QRect& target) const;

    // Decoded at the first frame drawn; tiled_ says whether its stretched parts are alike
    // along the stretch, so that drawing the sides in bands and tiling the centre gives the
    // pixels stretching them whole gives.
    mutable QPixmap frame_;
    mutable bool tiled_ = false;
    mutable QPixmap centre_tile_;
};

// Puts GroupBoxFrameStyle over the application's style when that is Fusion; any other style
// (a desktop's own, or one the user chose) is left as it is.
void UseGroupBoxFrameStyle();

}  // namespace korvid
