#include "common/safe_save.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "common/errors.h"
#include "common/file_descriptor.h"
#include "common/output_file.h"

namespace korvid {
namespace {

// The file a save replaces: the chosen name, or, when the user chose a symbolic link, the
// file it leads to (the save writes through the link as it always did).
std::string SaveTarget(const std::string& name) {
    struct stat info {};
    if (::lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(name.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return name;
}

// A temporary file beside the target, not there before (O_EXCL): its descriptor and name.
int CreateBeside(const std::string& target, std::string* temp_name) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temp_name = folder + ".korvid-save-" + std::to_string(::getpid()) + "-" +
                     std::to_string(counter++) + ".tmp";
        const int fd = CreateOutputFile(*temp_name, O_EXCL, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

}  // namespace

void SaveFileSafely(const std::string& name, std::string_view bytes) {
    // A name the C library would cut at an embedded NUL names another file than the one
    // chosen; an empty name or a folder cannot take the document.
    struct stat existing {};
    const std::string target = name.find('\0') == std::string::npos ? SaveTarget(name) : "";
    const bool exists = !target.empty() && ::stat(target.c_str(), &existing) == 0;
    if (target.empty() || (exists && S_ISDIR(existing.st_mode))) {
        throw FileCreateError(name);
    }

    std::string temp_name;
    FileDescriptor file(CreateBeside(target, &temp_name));
    if (!file.IsOpen()) {
        throw FileCreateError(name);
    }
    int error = WriteAll(file.Get(), bytes.data(), bytes.size());
    if (error == 0 && exists && ::fchmod(file.Get(), existing.st_mode & 0777) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(file.Get()) != 0) {
        error = errno;
    }
    if (const int close_error = file.Close(); error == 0) {
        error = close_error;
    }
    if (error != 0) {
        ::unlink(temp_name.c_str());
        throw WriteError(error);
    }
    if (::rename(temp_name.c_str(), target.c_str()) != 0) {
        ::unlink(temp_name.c_str());
        throw FileCreateError(name);
    }
}

}  // namespace korvid
