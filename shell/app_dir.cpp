#include "shell/app_dir.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/errors.h"

namespace korvid {

std::string ExecutableFolder() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "./";
    }
    return exe.parent_path().string() + "/";
}

std::string ChooseAppDir(const std::string& exe_folder, const char* xdg_data_home,
                         const char* home) {
    if (!exe_folder.empty() && ::access(exe_folder.c_str(), W_OK | X_OK) == 0) {
        return exe_folder.back() == '/' ? exe_folder : exe_folder + "/";
    }
    std::filesystem::path data_home;
    if (xdg_data_home != nullptr && *xdg_data_home != '\0') {
        data_home = xdg_data_home;
    } else {
        data_home = std::filesystem::path(home != nullptr ? home : "") / ".local" / "share";
    }
    const std::filesystem::path folder = data_home / "korvid";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw IoError::FromErrno(error.value());
    }
    return folder.string() + "/";
}

std::string ProgramAppDir() {
    return ChooseAppDir(ExecutableFolder(), std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

}  // namespace korvid
