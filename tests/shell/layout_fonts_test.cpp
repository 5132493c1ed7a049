// The layout's fonts are asked for by the installed stand-in when the named family is not
// there: the text looks exactly as with the named family and Qt's own substitution.

#include "shell/layout_fonts.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>
#include <QPainter>

namespace korvid {
namespace {

QImage Drawn(const QFont& font) {
    QImage image(320, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, 320, 48), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("IMDB Korvid \xc9t\xe9 Tag 2006 WjgQ"));
    return image;
}

TEST(LayoutFontsTest, StandInLooksAsTheNamedFamilyThroughQtsSubstitution) {
    const struct Case {
        const char* family;
        int pixels;
        bool bold;
        bool italic;
    } cases[] = {
        {"Tahoma", 11, false, false},        {"Trebuchet MS", 24, false, false},
        {"Trebuchet MS", 19, false, true},   {"Verdana", 13, true, false},
        {"MS Sans Serif", 11, false, false}, {"Liberation Sans", 12, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.family);
        const QFont layout = LayoutFont(QString::fromLatin1(c.family), c.pixels, c.bold, c.italic);
        QFont named(QString::fromLatin1(c.family));  // the substitutions are in place now
        named.setPixelSize(c.pixels);
        named.setBold(c.bold);
        named.setItalic(c.italic);
        EXPECT_EQ(QFontInfo(layout).family(), QFontInfo(named).family());
        EXPECT_EQ(Drawn(layout), Drawn(named));
    }
}

}  // namespace
}  // namespace korvid
