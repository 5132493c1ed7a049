#include "shell/user_settings.h"

#include <QFile>
#include <QSettings>
#include <memory>

#include "dataset/database_path.h"

namespace korvid {
namespace {

constexpr const char* kFetchCoversKey = "covers/fetch-online";

// The settings file, in the folder the program's resolver finds (QSettings would find its own
// from the environment, without refusing a link or another user's folder); null when that
// folder is refused.
std::unique_ptr<QSettings> UserSettings() {
    try {
        const std::string folder = dataset::KorvidFolder(dataset::UserFolderKind::Config);
        return std::make_unique<QSettings>(QFile::decodeName((folder + "korvid.conf").c_str()),
                                           QSettings::IniFormat);
    } catch (const dataset::UserFolderError&) {
        return nullptr;
    }
}

}  // namespace

bool FetchCoversOnline() {
    const std::unique_ptr<QSettings> settings = UserSettings();
    return settings == nullptr || settings->value(kFetchCoversKey, true).toBool();
}

void SetFetchCoversOnline(bool fetch) {
    if (const std::unique_ptr<QSettings> settings = UserSettings()) {
        settings->setValue(kFetchCoversKey, fetch);
    }
}

std::string UserSettingsProblem() {
    try {
        dataset::KorvidFolder(dataset::UserFolderKind::Config);
    } catch (const dataset::UserFolderError& refused) {
        return refused.what();
    }
    return {};
}

}  // namespace korvid
