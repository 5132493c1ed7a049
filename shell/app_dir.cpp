#include "shell/app_dir.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/errors.h"
#include "dataset/database_path.h"

namespace korvid {
namespace {

bool IsWritableFolder(const std::string& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// The folder as a path without "." and ".." parts, links resolved where it exists, and no
// trailing separator, so two spellings of one folder compare equal.
std::filesystem::path ComparableFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::weakly_canonical(folder, error);
    if (error) {
        path = std::filesystem::path(folder).lexically_normal();
    }
    if (!path.has_filename() && path.has_parent_path() && path != path.root_path()) {
        path = path.parent_path();
    }
    return path;
}

}  // namespace

std::string ExecutableFolder() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "./";
    }
    return exe.parent_path().string() + "/";
}

const char* PrefixBinFolder() {
    return KORVID_INSTALL_BINDIR;
}

bool IsInstalledBinFolder(const std::string& folder) {
    const std::filesystem::path path = ComparableFolder(folder);
    for (const char* installed : {PrefixBinFolder(), "/usr/bin", "/usr/local/bin"}) {
        if (path == ComparableFolder(installed)) {
            return true;
        }
    }
    return false;
}

AppDirChoice ChooseAppDir(const std::string& exe_folder, const char* xdg_data_home,
                          const char* home) {
    if (!exe_folder.empty() && !IsInstalledBinFolder(exe_folder) && IsWritableFolder(exe_folder)) {
        return {exe_folder.back() == '/' ? exe_folder : exe_folder + "/", {}};
    }
    AppDirChoice choice;
    try {
        choice.folder = dataset::KorvidFolderFrom(dataset::UserFolderKind::Data, xdg_data_home,
                                                  home, ::geteuid());
    } catch (const dataset::UserFolderError& refused) {
        choice.problem = refused.what();
        return choice;
    }
    const std::filesystem::path folder = choice.folder;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        choice.problem = "Cannot create folder " + choice.folder + " (" +
                         IoError::FromErrno(error.value()).what() + ")";
    } else if (!IsWritableFolder(choice.folder)) {
        choice.problem = "Cannot write to folder " + choice.folder + " (" +
                         IoError::FromErrno(errno).what() + ")";
    }
    return choice;
}

AppDirChoice ProgramAppDir() {
    return ChooseAppDir(ExecutableFolder(), std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

}  // namespace korvid
