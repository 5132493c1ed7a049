#include "shell/layout_fonts.h"

#include <QApplication>
#include <QFontDatabase>
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

// Whether the font database holds the family under that name, as Qt's font matching looks it
// up. (QFontDatabase::hasFamily also has fontconfig apply its substitution rules to the name,
// which costs more than the look-up it saves.)
bool Installed(const QString& family) {
    static const QStringList families = QFontDatabase::families();
    return families.contains(family, Qt::CaseInsensitive);
}

// The named family when the system has it, else its first stand-in the system has: the face
// Qt would choose. Asked for a family it does not have, Qt first has fontconfig sort every
// installed font by likeness to the name, once for each family and style, before it reaches
// the stand-in; asked for the stand-in, it opens the same face without that.
QString InstalledFamily(const QString& family) {
    if (Installed(family)) {
        return family;
    }
    for (const QString& substitute : QFont::substitutes(family)) {
        if (Installed(substitute)) {
            return substitute;
        }
    }
    return family;
}

}  // namespace

QFont LayoutFont(const QString& family, int pixel_size, bool bold, bool italic) {
    InstallSubstitutes();
    QFont font(InstalledFamily(family));
    font.setPixelSize(pixel_size);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

void UseFormFontForTheApplication() {
    QApplication::setFont(LayoutFont(QStringLiteral("Tahoma"), 11));
}

}  // namespace korvid
