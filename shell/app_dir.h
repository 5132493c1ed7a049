#pragma once
// The program's folder (AppDir), where the temporary page and the covers go: the folder of
// the running executable, or the per-user data folder when that one is not writable (an
// installed copy). Qt-free.

#include <string>

namespace korvid {

// The folder of the running executable, with a trailing "/".
std::string ExecutableFolder();

// The program's folder, and why no file can be written there.
struct AppDirChoice {
    std::string folder;   // with a trailing "/"
    std::string problem;  // empty when the folder is there and writable
};

// The folder to work in: exe_folder when it is a writable folder, else data_home +
// "/korvid/" (data_home is $XDG_DATA_HOME, or $HOME/.local/share when that is unset or
// empty), created on demand. When that folder cannot be created or written, it is the
// folder all the same (downloads into it then fail as usual), and the problem names it:
// "Cannot create folder F (reason)" or "Cannot write to folder F (File access denied)".
AppDirChoice ChooseAppDir(const std::string& exe_folder, const char* xdg_data_home,
                          const char* home);

// ChooseAppDir for this process and its environment.
AppDirChoice ProgramAppDir();

}  // namespace korvid
