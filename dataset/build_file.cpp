#include "dataset/build_file.h"

#include <fcntl.h>
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

[[noreturn]] void Fail(const std::string& path, int error_number) {
    if (error_number == ENOSPC || error_number == EDQUOT) {
        throw DatasetError("Disk full");
    }
    throw DatasetError(path + ": " + ErrnoText(error_number));
}

}  // namespace

BuildFile::BuildFile(const std::string& target) : target_(target) {
    const std::filesystem::path target_path(target);
    const std::filesystem::path folder =
        target_path.has_parent_path() ? target_path.parent_path() : std::filesystem::path(".");
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        Fail(folder.string(), error.value());
    }
    std::string pattern =
        (folder / ("." + target_path.filename().string() + ".new-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        Fail(folder.string(), errno);
    }
    // mkostemp makes the file readable by its owner only; a database is an ordinary file.
    ::fchmod(fd, 0644);
    ::close(fd);
    path_ = name.data();
}

BuildFile::~BuildFile() {
    if (!committed_) {
        ::unlink(path_.c_str());
    }
}

void BuildFile::Commit() {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Fail(path_, errno);
    }
    const int synced = ::fsync(fd);
    const int sync_error = errno;
    ::close(fd);
    if (synced != 0) {
        Fail(path_, sync_error);
    }
    if (std::rename(path_.c_str(), target_.c_str()) != 0) {
        Fail(target_, errno);
    }
    committed_ = true;
}

}  // namespace korvid::dataset
