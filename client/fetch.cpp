// Page fetching: DownloadToFile copies one address into a file, FetchPage downloads a page
// into the temporary page file and loads it as lines.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "client/IMDBImport.h"
#include "common/errors.h"
#include "common/file_descriptor.h"
#include "common/output_file.h"

namespace korvid {
namespace {

// The output file of a download. It is created only when the first bytes arrive (or when
// the server answered with an empty body), so a download that fails before its body leaves
// an earlier file of that name alone. Once created, it is either kept, closed whole, or
// removed: a file the download does not keep is never left half written.
class DownloadFile {
  public:
    explicit DownloadFile(std::string path) : path_(std::move(path)) {}
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;
    ~DownloadFile() { Discard(); }

    // False when the file cannot be created or written; the errno is kept.
    bool Write(const char* data, std::size_t size) {
        if (!Open()) {
            return false;
        }
        error_ = WriteAll(file_->Get(), data, size);
        if (error_ != 0) {
            return false;
        }
        written_ += size;
        return true;
    }

    // Opens the file without blocking and without following a link; anything there that is
    // not a regular file (a FIFO, a device) is refused and left as it is.
    bool Open() {
        if (file_) {
            return error_ == 0;
        }
        if (error_ != 0) {
            return false;
        }
        FileDescriptor file(CreateOutputFile(path_, O_NONBLOCK, 0644));
        if (!file.IsOpen()) {
            // ENXIO: a FIFO that nobody reads.
            error_ = errno == ENXIO ? ELOOP : errno;
            return false;
        }
        struct stat info {};
        if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            error_ = ELOOP;
            return false;
        }
        if (::ftruncate(file.Get(), 0) != 0) {
            error_ = errno;
            return false;
        }
        file_.emplace(file.Release());
        return true;
    }

    // Closes the file and keeps it; false (with the errno kept, the file removed) when the
    // last data could not be written.
    bool Keep() {
        if (file_ && error_ == 0) {
            error_ = file_->Close();
        }
        if (error_ != 0) {
            Discard();
            return false;
        }
        file_.reset();
        return true;
    }

    // Removes the file if this download created it.
    void Discard() noexcept {
        if (file_) {
            file_.reset();
            ::unlink(path_.c_str());
        }
    }

    // Raises the error of the kept errno: a symbolic link or another file that is not a
    // regular one at the name (kept as ELOOP) is a file that cannot be created; a full disk
    // reads "Disk full".
    [[noreturn]] void Raise() const {
        if (error_ == ELOOP) {
            throw FileCreateError(path_);
        }
        throw WriteError(error_);
    }

    int Error() const { return error_; }
    std::uint64_t Written() const { return written_; }

  private:
    std::string path_;
    std::optional<FileDescriptor> file_;
    std::uint64_t written_ = 0;
    int error_ = 0;
};

}  // namespace

bool DownloadToFile(const ShortString& address, const ShortString& file_name,
                    const ProgressCallback& progress, TransferInfo* info,
                    const DownloadOptions& options) {
    DownloadFile file(file_name.str());
    bool too_long = false;
    TransferInfo transfer = HttpGet(
        address.str(),
        [&](const char* data, std::size_t size) {
            if (options.max_bytes != 0 && file.Written() + size > options.max_bytes) {
                too_long = true;
                return false;
            }
            return file.Write(data, size);
        },
        progress, options.http);

    bool kept = false;
    if (file.Error() != 0) {
        // The file could not be created or written: raised below, once the transfer is over.
    } else if (too_long) {
        transfer.error = "more than " + std::to_string(options.max_bytes) + " bytes";
    } else if (IsBrowserCheck(transfer, file.Written())) {
        // The site's check that only a browser passes: whatever came is no page.
        transfer.error = BrowserCheckCause;
    } else if (transfer.status >= 400) {
        // An error answer is no page and no picture, whatever its body.
        transfer.error = "the site answered " + std::to_string(transfer.status);
    } else if (transfer.complete ||
               (file.Written() > 0 && !options.whole_body_only && !transfer.stopped)) {
        // A whole body, or a body cut off after it began: kept as far as it arrived. A
        // server that answered with an empty body still gives an (empty) file.
        kept = file.Open() && file.Keep();
    } else if (transfer.error.empty()) {
        transfer.error = "the transfer failed";
    }
    if (info != nullptr) {
        *info = transfer;
    }
    if (file.Error() != 0) {
        file.Discard();
        file.Raise();
    }
    return kept;
}

std::string TIMDBImport::TempPagePath() const {
    return ShortString(AppDir + TempPageName).str();
}

void TIMDBImport::LockTempPage(const std::string& path) {
    // A lookup that cannot even create the page goes on without the lock; its download then
    // fails to write the page as it would have.
    for (int attempt = 0; attempt < 100; ++attempt) {
        FileDescriptor file(
            ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
        if (!file.IsOpen()) {
            if (errno != ELOOP) {
                return;
            }
            ::unlink(path.c_str());  // a symbolic link at the name is replaced, never followed
            continue;
        }
        struct stat opened {};
        if (::fstat(file.Get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
            throw FileCreateError(path);  // a FIFO or a device at the name is left alone
        }
        int locked = -1;
        do {
            locked = ::flock(file.Get(), LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        // The lookup that held the page may have removed it meanwhile: then the lock is on a
        // file no longer at the name, and the next attempt opens the one that is.
        struct stat named {};
        if (locked != 0 || (::lstat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
                            named.st_ino == opened.st_ino)) {
            temp_page_lock_.emplace(file.Release());
            return;
        }
    }
    throw FileCreateError(path);
}

void TIMDBImport::ReleaseTempPage(bool remove) noexcept {
    // Only the page this lookup holds is removed: a FIFO or another lookup's page stays.
    if (remove && temp_page_lock_) {
        ::unlink(TempPagePath().c_str());
    }
    temp_page_lock_.reset();
}

bool TIMDBImport::FetchPage(const ShortString& address) {
    const std::string path = TempPagePath();
    ReleaseTempPage(false);  // the page of an earlier fetch
    download_failure_.clear();
    try {
        LockTempPage(path);
        TransferInfo info;
        // A page over the limit, or one that did not arrive whole, is no page.
        const DownloadOptions options{
            .max_bytes = MaxPageBytes, .whole_body_only = true, .http = http_options_};
        if (!DownloadToFile(address, path, progress_, &info, options)) {
            download_failure_ = info.error == HostNotFoundCause ? NoConnectionCause : info.error;
            ReleaseTempPage(true);  // no earlier page stays behind
            return false;
        }
        last_fetched_url_ = info.effective_url;
        PageLines.LoadFromFile(path);
        return true;
    } catch (const std::exception& error) {
        ReleaseTempPage(true);  // no half-written or unreadable page stays behind
        download_failure_ = error.what();
        PageLines.Clear();
        return false;
    }
}

}  // namespace korvid
