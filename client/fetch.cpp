// Page fetching: DownloadToFile copies one address into a file, FetchPage downloads a page
// into the temporary page file and loads it as lines.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>

#include "client/IMDBImport.h"
#include "common/errors.h"

namespace korvid {
namespace {

// The output file of a download. It is created only when the first bytes arrive (or when
// the server answered with an empty body), so an unreachable address leaves no file behind.
class DownloadFile {
  public:
    explicit DownloadFile(std::string path) : path_(std::move(path)) {}
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;
    ~DownloadFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    // False when the file cannot be created or written; the errno is kept.
    bool Write(const char* data, std::size_t size) {
        if (!Open()) {
            return false;
        }
        while (size > 0) {
            const ssize_t written = ::write(fd_, data, size);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                error_ = errno;
                return false;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    bool Open() {
        if (fd_ >= 0) {
            return true;
        }
        if (error_ != 0) {
            return false;
        }
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd_ < 0) {
            error_ = errno;
            return false;
        }
        return true;
    }

    // Closes the file; false (with the errno kept) when the last data could not be written.
    bool Close() {
        if (fd_ < 0) {
            return error_ == 0;
        }
        const int result = ::close(fd_);
        fd_ = -1;
        if (result != 0 && error_ == 0) {
            error_ = errno;
        }
        return error_ == 0;
    }

    int Error() const { return error_; }
    bool IsOpen() const { return fd_ >= 0; }

  private:
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
};

bool FileExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

}  // namespace

bool DownloadToFile(const ShortString& address, const ShortString& file_name,
                    const ProgressCallback& progress, TransferInfo* info) {
    DownloadFile file(file_name.str());
    const TransferInfo transfer = HttpGet(
        address.str(),
        [&file](const char* data, std::size_t size) { return file.Write(data, size); }, progress);
    if (info != nullptr) {
        *info = transfer;
    }
    if (file.Error() == 0 && !file.IsOpen() && !transfer.connected) {
        return false;
    }
    // A server that answered with an empty body still gives an (empty) file.
    if (file.Error() == 0) {
        file.Open();
    }
    if (!file.Close()) {
        throw IoError::FromErrno(file.Error());
    }
    return true;
}

std::string TIMDBImport::TempPagePath() const {
    return ShortString(AppDir + TempPageName).str();
}

bool TIMDBImport::FetchPage(const ShortString& address) {
    const std::string path = TempPagePath();
    ::unlink(path.c_str());  // a failure to delete is ignored: the download writes over it
    try {
        TransferInfo info;
        DownloadToFile(address, path, progress_, &info);
        if (!FileExists(path)) {
            return false;
        }
        last_fetched_url_ = info.effective_url;
        PageLines.LoadFromFile(path);
        return true;
    } catch (const std::exception&) {
        PageLines.Clear();
        return false;
    }
}

}  // namespace korvid
