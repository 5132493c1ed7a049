#include "shell/banner.h"

#include <QLabel>
#include <QPalette>
#include <QString>
#include <QWidget>
#include <algorithm>

#include "shell/layout_resources.h"
#include "shell/picture.h"

namespace korvid {

Banner FillBanner(QWidget* panel, const QFont& font, std::span<const BannerCaption> captions) {
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);
    panel->setFont(font);

    Banner banner{new TImage(panel), {}};
    banner.logo->setObjectName(QStringLiteral("Image2"));
    banner.logo->setGeometry(16, -4, 105, 68);
    if (banner.logo->Picture().LoadFromData(LayoutResourceBytes(LogoResource), "jpg")) {
        banner.logo->PictureChanged();
    }

    for (const BannerCaption& caption : captions) {
        auto* label = new QLabel(QString::fromLatin1(caption.text), panel);
        label->setObjectName(QString::fromLatin1(caption.name));
        label->setTextFormat(Qt::PlainText);
        label->setFont(caption.font);
        if (caption.colour) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, *caption.colour);
            label->setPalette(palette);
        }
        const QSize text = label->sizeHint();
        label->setGeometry(caption.position.x(), caption.position.y(),
                           std::max(caption.size.width(), text.width()),
                           caption.size.height() > 0 ? caption.size.height() : text.height());
        banner.captions.push_back(label);
    }
    return banner;
}

}  // namespace korvid
