#include "client/update_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

#include "common/errors.h"

namespace korvid {

UpdateLock::UpdateLock(const std::string& folder)
    : folder_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (!folder_.IsOpen()) {
        throw dataset::DatasetError(folder + ": " + IoError::FromErrno(errno).what());
    }
    // flock belongs to the open file description: this descriptor's own, never shared with
    // another update's, also within one process.
    while (::flock(folder_.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            throw UpdateBusy();
        }
        if (errno != EINTR) {
            throw dataset::DatasetError(folder + ": " + IoError::FromErrno(errno).what());
        }
    }
}

}  // namespace korvid
