#pragma once
// TXPThemeAPI: the non-visual theme component a form carries (the main window holds one,
// XPThemeAPI1). It has no behaviour beyond where it may be placed: its owner must be a form
// (a top-level window widget: a main window, a dialog, a parentless widget), and a form holds
// at most one. A misplaced component beeps and ends its construction with SilentAbort, which
// the error box does not show; the partly built component leaves its owner's children again.

#include <QObject>
#include <functional>

namespace korvid {

// Sounds the beep of a refused placement. The default is QApplication::beep(); tests hand
// in one that counts.
using Beeper = std::function<void()>;
void DefaultBeep();

// True when the object is a form: a widget that is a window of its own.
bool IsForm(const QObject* object);

class TXPThemeAPI : public QObject {
    Q_OBJECT

  public:
    // Enters the component among the owner's children. Throws SilentAbort, after one beep,
    // when the owner is null or not a form, or already holds a TXPThemeAPI.
    explicit TXPThemeAPI(QObject* owner, const Beeper& beep = DefaultBeep);
};

}  // namespace korvid
