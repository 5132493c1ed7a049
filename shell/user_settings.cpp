#include "shell/user_settings.h"

#include <QSettings>

namespace korvid {
namespace {

constexpr const char* kFetchCoversKey = "covers/fetch-online";

QSettings UserSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Korvid"),
                     QStringLiteral("korvid"));
}

}  // namespace

bool FetchCoversOnline() {
    return UserSettings().value(kFetchCoversKey, true).toBool();
}

void SetFetchCoversOnline(bool fetch) {
    QSettings settings = UserSettings();
    settings.setValue(kFetchCoversKey, fetch);
}

}  // namespace korvid
