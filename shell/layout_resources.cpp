#include "shell/layout_resources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE must stand outside any namespace.
static void InitKorvidResource() {
    Q_INIT_RESOURCE(korvid);
}

namespace korvid {

void InitLayoutResources() {
    static const bool done = [] {
        InitKorvidResource();
        return true;
    }();
    (void)done;
}

}  // namespace korvid
