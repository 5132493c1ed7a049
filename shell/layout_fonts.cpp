#include "shell/layout_fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHash>
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

// The named family when the system has it, else its first stand-in the system has: the face
// Qt would choose. Asked for a family it does not have, Qt first has fontconfig sort every
// installed font by likeness to the name, once for each family and style, before it reaches
// the stand-in; asked for the stand-in, it opens the same face without that.
QString InstalledFamily(const QString& family) {
    static QHash<QString, QString> chosen;
    const auto known = chosen.constFind(family);
    if (known != chosen.constEnd()) {
        return *known;
    }
    QString installed = family;
    if (!QFontDatabase::hasFamily(family)) {
        for (const QString& substitute : QFont::substitutes(family)) {
            if (QFontDatabase::hasFamily(substitute)) {
                installed = substitute;
                break;
            }
        }
    }
    chosen.insert(family, installed);
    return installed;
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
