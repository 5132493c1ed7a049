#include "shell/layout_fonts.h"

#include <QApplication>
#include <QStringList>

namespace korvid {
namespace {

// Liberation Sans has Arial's metrics, which are close to Tahoma's and MS Sans Serif's;
// DejaVu Sans comes from the same design line as Verdana, and is as wide.
void InstallSubstitutes() {
    static const bool installed = [] {
        QFont::insertSubstitutions("Tahoma", {"Liberation Sans", "DejaVu Sans"});
        QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "DejaVu Sans"});
        QFont::insertSubstitutions("Trebuchet MS", {"Liberation Sans", "DejaVu Sans"});
        QFont::insertSubstitutions("Verdana", {"DejaVu Sans", "Liberation Sans"});
        return true;
    }();
    (void)installed;
}

}  // namespace

QFont LayoutFont(const QString& family, int pixel_size, bool bold, bool italic) {
    InstallSubstitutes();
    QFont font(family);
    font.setPixelSize(pixel_size);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

void UseFormFontForTheApplication() {
    QApplication::setFont(LayoutFont(QStringLiteral("Tahoma"), 11));
}

}  // namespace korvid
