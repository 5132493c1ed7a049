#include "common/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace korvid {

int CreateOutputFile(const std::string& path, int extra_flags, mode_t mode) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | extra_flags, mode);
}

int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

}  // namespace korvid
