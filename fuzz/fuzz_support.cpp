#include "fuzz/fuzz_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace korvid::fuzz {

void Fail(std::string_view what, std::string_view detail) {
    std::fprintf(stderr, "\n*** Invariant broken: %.*s\n", static_cast<int>(what.size()),
                 what.data());
    if (!detail.empty()) {
        std::fprintf(stderr, "*** Detail: %.*s\n", static_cast<int>(detail.size()), detail.data());
    }
    std::abort();
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        if (at == std::string_view::npos) {
            parts.push_back(text);
            return parts;
        }
        parts.push_back(text.substr(0, at));
        text.remove_prefix(at + separator.size());
    }
}

int SmallNumber(std::string_view text, int fallback) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    int value = 0;
    bool any = false;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        any = true;
        value = std::min(value * 10 + (c - '0'), 1000);
    }
    if (!any) {
        return fallback;
    }
    return negative ? -value : value;
}

FuzzFolders::FuzzFolders() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/korvid-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        Fail("cannot make the temporary folder", pattern);
    }
    root_ = pattern;
    app_dir_ = root_ + "/app/";
    if (::mkdir(app_dir_.c_str(), 0755) != 0) {
        Fail("cannot make the program folder", app_dir_);
    }
}

FuzzFolders::~FuzzFolders() {
    // A crash skips this and leaves the folders for a look.
    EmptyFolder(app_dir_);
    ::rmdir(app_dir_.c_str());
    EmptyFolder(root_);
    ::rmdir(root_.c_str());
}

const FuzzFolders& FuzzFolders::Get() {
    static const FuzzFolders folders;
    return folders;
}

std::vector<std::string> FolderEntries(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool IsRegularFile(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

void EmptyFolder(const std::string& path) {
    const std::string dir = path.empty() || path.back() == '/' ? path : path + "/";
    for (const std::string& name : FolderEntries(dir)) {
        const std::string entry = dir + name;
        if (::unlink(entry.c_str()) != 0) {
            ::rmdir(entry.c_str());
        }
    }
}

void CheckProgramFolder(const std::string& poster) {
    const FuzzFolders& folders = FuzzFolders::Get();
    const std::string& app_dir = folders.AppDir();
    Check(FolderEntries(folders.Root()) == std::vector<std::string>{"app"},
          "a file appeared outside the program folder");
    for (const std::string& name : FolderEntries(app_dir)) {
        Check(IsRegularFile(app_dir + name), "not a plain file in the program folder", name);
    }
    if (!poster.empty()) {
        Check(poster.size() > app_dir.size() && poster.compare(0, app_dir.size(), app_dir) == 0,
              "cover outside the program folder", poster);
        Check(poster.find('/', app_dir.size()) == std::string::npos,
              "cover in a folder below the program folder", poster);
    }
}

}  // namespace korvid::fuzz
