#include "dataset/build_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "common/errors.h"
#include "dataset/film_database.h"

namespace korvid::dataset {

namespace {

// Tries for a new name when another build's clean-up took the one just made.
constexpr int kNameAttempts = 16;

[[noreturn]] void Fail(const std::string& path, int error_number) {
    if (error_number == ENOSPC || error_number == EDQUOT) {
        throw DatasetError("Disk full");
    }
    throw DatasetError(path + ": " + IoError::FromErrno(error_number).what());
}

std::filesystem::path FolderOf(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// ".films.sqlite.new-"; mkostemp adds six characters.
std::string BuildFilePrefix(const std::filesystem::path& target) {
    return "." + target.filename().string() + ".new-";
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

void RemoveStaleBuildFiles(const std::string& target) {
    const std::filesystem::path target_path(target);
    const std::filesystem::path folder = FolderOf(target_path);
    const std::string prefix = BuildFilePrefix(target_path);
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        return;
    }
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
            candidates.push_back((folder / name).string());
        }
    }
    ::closedir(listing);
    for (const std::string& path : candidates) {
        // Never blocks, never follows a link: a FIFO or a link of that name is not ours.
        const FileDescriptor file(
            ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        if (!file.IsOpen() || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        // Held by a running build: left alone. Taken: nobody writes it any more.
        if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
            continue;
        }
        struct stat named {};
        if (::lstat(path.c_str(), &named) == 0 && SameFile(info, named)) {
            ::unlink(path.c_str());
        }
    }
}

BuildFile::BuildFile(const std::string& target) : target_(target) {
    const std::filesystem::path target_path(target);
    const std::filesystem::path folder = FolderOf(target_path);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        Fail(folder.string(), error.value());
    }
    RemoveStaleBuildFiles(target);
    const std::string pattern = (folder / BuildFilePrefix(target_path)).string() + "XXXXXX";
    for (int attempt = 0; attempt < kNameAttempts && !file_; ++attempt) {
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        FileDescriptor made(::mkostemp(name.data(), O_CLOEXEC));
        if (!made.IsOpen()) {
            Fail(folder.string(), errno);
        }
        // Locked at once; a clean-up of another build that took the name first (between its
        // making and the lock) has removed it or is about to: another name then.
        struct stat info {};
        struct stat named {};
        if (::flock(made.Get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(made.Get(), &info) != 0 ||
            ::lstat(name.data(), &named) != 0 || !SameFile(info, named)) {
            continue;
        }
        // mkostemp makes the file readable by its owner only; a database is an ordinary file.
        ::fchmod(made.Get(), 0644);
        path_ = name.data();
        file_.emplace(made.Release());
    }
    if (!file_) {
        Fail(folder.string(), EEXIST);
    }
}

BuildFile::~BuildFile() {
    if (!committed_ && !path_.empty()) {
        ::unlink(path_.c_str());
    }
}

void BuildFile::Commit() {
    if (::fsync(file_->Get()) != 0) {
        Fail(path_, errno);
    }
    if (std::rename(path_.c_str(), target_.c_str()) != 0) {
        Fail(target_, errno);
    }
    committed_ = true;
}

}  // namespace korvid::dataset
