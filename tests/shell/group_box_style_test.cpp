// The group box frame drawn from Fusion's picture through the program's PNG reader: every
// kind of box looks pixel for pixel as Fusion draws it, and the style goes only over Fusion.

#include "shell/group_box_style.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QStyleFactory>
#include <memory>

#include "shell/layout_fonts.h"

namespace korvid {
namespace {

QImage Grab(QGroupBox& box, QStyle* style) {
    box.setStyle(style);
    return box.grab().toImage();
}

TEST(GroupBoxStyleTest, FramesLookAsFusionDrawsThem) {
    const struct Case {
        const char* title;
        bool checkable;
        int font_pixels;
        QSize size;
    } cases[] = {
        {"Search Results", false, 11, {497, 422}},  // the main window's
        {"", false, 11, {120, 60}},                 // no title: the frame rises to the top
        {"", true, 11, {120, 60}},                  // a check box keeps the room above
        {"Tag", true, 30, {200, 90}},               // a title taller than the check box
        {"Tall", false, 11, {300, 700}},            // sides in many bands, centre in tiles
        {"", false, 11, {83, 80}},                  // last band and tile of one row
        {"Small", false, 11, {8, 8}},               // smaller than the picture's corners
    };
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    GroupBoxFrameStyle own(QStyleFactory::create(QStringLiteral("Fusion")));
    ASSERT_NE(fusion, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        QGroupBox box(QString::fromLatin1(c.title));
        box.setCheckable(c.checkable);
        box.setFont(LayoutFont(QStringLiteral("Tahoma"), c.font_pixels));
        box.resize(c.size);
        const QImage expected = Grab(box, fusion.get());
        const QImage drawn = Grab(box, &own);
        ASSERT_FALSE(expected.isNull());
        EXPECT_EQ(drawn, expected);
        box.setStyle(nullptr);
    }
}

TEST(GroupBoxStyleTest, GoesOnlyOverFusion) {
    const QString before = QApplication::style()->name();
    QApplication::setStyle(QStringLiteral("Windows"));
    UseGroupBoxFrameStyle();
    EXPECT_EQ(dynamic_cast<GroupBoxFrameStyle*>(QApplication::style()), nullptr);
    QApplication::setStyle(QStringLiteral("Fusion"));
    UseGroupBoxFrameStyle();
    UseGroupBoxFrameStyle();  // a second call keeps the one style
    const auto* style = dynamic_cast<GroupBoxFrameStyle*>(QApplication::style());
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->baseStyle()->name(), QStringLiteral("fusion"));
    QApplication::setStyle(before);
}

}  // namespace
}  // namespace korvid
