#include "shell/layout_resources.h"

#include <QtCore/qglobal.h>

#include <QFile>

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

std::string LayoutResourceBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll().toStdString();
}

}  // namespace korvid
