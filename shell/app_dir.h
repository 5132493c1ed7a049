#pragma once
// The program's folder (AppDir), where the temporary page and the covers go: the folder of
// the running executable, or the per-user data folder when that one is not writable (an
// installed copy). Qt-free.

#include <string>

namespace korvid {

// The folder of the running executable, with a trailing "/".
std::string ExecutableFolder();

// The folder to work in, with a trailing "/": exe_folder when it is a writable folder, else
// data_home + "/korvid/" (data_home is $XDG_DATA_HOME, or $HOME/.local/share when that is
// unset or empty), created on demand. Throws IoError when that folder cannot be created.
std::string ChooseAppDir(const std::string& exe_folder, const char* xdg_data_home,
                         const char* home);

// ChooseAppDir for this process and its environment.
std::string ProgramAppDir();

}  // namespace korvid
