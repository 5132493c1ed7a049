#pragma once
// The program's folder (AppDir), where the temporary page and the covers go: the folder of
// the running executable in a build tree or an unpacked folder, or the per-user data folder
// for an installed copy or when the executable's folder is not writable. Qt-free.

#include <string>

namespace korvid {

// The folder of the running executable, with a trailing "/".
std::string ExecutableFolder();

// The binary folder of the prefix this program was built for (CMake's install prefix).
const char* PrefixBinFolder();

// True for a folder that installed programs share: PrefixBinFolder(), /usr/bin and
// /usr/local/bin, however spelt.
bool IsInstalledBinFolder(const std::string& folder);

// The program's folder, and why no file can be written there.
struct AppDirChoice {
    std::string folder;   // with a trailing "/"
    std::string problem;  // empty when the folder is there and writable
};

// The folder to work in: exe_folder when it is a writable folder and no installed binary
// folder (IsInstalledBinFolder), else Korvid's data folder (dataset::KorvidFolderFrom with
// xdg_data_home and home: $XDG_DATA_HOME/korvid/, or $HOME/.local/share/korvid/ when that is
// not an absolute path), created on demand. When that folder cannot be created or written, it
// is the folder all the same (downloads into it then fail as usual), and the problem names it:
// "Cannot create folder F (reason)" or "Cannot write to folder F (File access denied)". When
// there is no data folder to be found, or it is refused (a symbolic link, another user's), the
// folder is empty and the problem says why: nothing may be written there.
AppDirChoice ChooseAppDir(const std::string& exe_folder, const char* xdg_data_home,
                          const char* home);

// ChooseAppDir for this process and its environment.
AppDirChoice ProgramAppDir();

}  // namespace korvid
