#include "shell/mdCONTROLS.h"

#include <QApplication>
#include <QWidget>

#include "common/errors.h"

namespace korvid {
namespace {

// Counts the theme components among the owner's children, this one included, stopping at 2.
int CountThemeComponents(const QObject& owner) {
    int count = 0;
    for (const QObject* child : owner.children()) {
        if (qobject_cast<const TXPThemeAPI*>(child) != nullptr && ++count == 2) {
            break;
        }
    }
    return count;
}

}  // namespace

void DefaultBeep() {
    QApplication::beep();
}

bool IsForm(const QObject* object) {
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget != nullptr && widget->isWindow();
}

// Throwing from the constructor runs ~QObject for the base already built, which takes the
// component out of its owner's children.
TXPThemeAPI::TXPThemeAPI(QObject* owner, const Beeper& beep) : QObject(owner) {
    if (!IsForm(owner) || CountThemeComponents(*owner) >= 2) {
        beep();
        throw SilentAbort();
    }
}

}  // namespace korvid
