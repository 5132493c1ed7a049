#include "client/dataset_download.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <system_error>
#include <utility>

#include "client/update_lock.h"
#include "common/file_descriptor.h"
#include "common/output_file.h"
#include "dataset/build_file.h"
#include "dataset/film_database.h"

namespace korvid {
namespace {

namespace fs = std::filesystem;
using dataset::DatasetError;

constexpr int FileCount = static_cast<int>(std::size(DatasetFileNames));

// A transfer hands over chunks of up to this size (the pages keep libcurl's 1 KiB).
constexpr long DatasetChunkBytes = 64 * 1024;

// The validators the server gave a copy: kept beside the file as "NAME.meta".
struct Validators {
    std::string etag;
    std::string last_modified;

    bool Empty() const { return etag.empty() && last_modified.empty(); }
};

std::optional<Validators> ReadValidators(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        return std::nullopt;
    }
    Validators validators;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("ETag: ", 0) == 0) {
            validators.etag = line.substr(6);
        } else if (line.rfind("Last-Modified: ", 0) == 0) {
            validators.last_modified = line.substr(15);
        }
    }
    return validators;
}

// Writes the validators through a temporary file renamed over the old one, so a cut write
// leaves either the old or the new ones.
void WriteValidators(const std::string& path, const Validators& validators) {
    const std::string temporary = path + ".new";
    {
        FileDescriptor file(CreateOutputFile(temporary, O_TRUNC, 0644));
        if (!file.IsOpen()) {
            throw WriteError(errno);
        }
        const std::string text =
            "ETag: " + validators.etag + "\nLast-Modified: " + validators.last_modified + "\n";
        int error = WriteAll(file.Get(), text.data(), text.size());
        if (error == 0) {
            error = file.Close();
        }
        if (error != 0) {
            ::unlink(temporary.c_str());
            throw WriteError(error);
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw WriteError(error);
    }
}

std::uint64_t FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)
               ? static_cast<std::uint64_t>(info.st_size)
               : 0;
}

std::string IsoDate(std::time_t time) {
    std::tm parts{};
    ::gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

// The file's modification time; empty when it cannot be read.
std::string FileDate(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? IsoDate(info.st_mtime) : std::string();
}

// The first byte of a "bytes FIRST-LAST/TOTAL" range and its total; nothing when malformed.
std::optional<std::pair<std::uint64_t, std::uint64_t>> ParseContentRange(const std::string& text) {
    unsigned long long first = 0;
    unsigned long long last = 0;
    unsigned long long total = 0;
    if (std::sscanf(text.c_str(), "bytes %llu-%llu/%llu", &first, &last, &total) != 3 ||
        last < first || last >= total) {
        return std::nullopt;
    }
    return std::make_pair(first, total);
}

// "name: cause", the one line an update that failed on one file ends with.
DatasetError FileFailure(const std::string& name, const std::string& cause) {
    return DatasetError(name + ": " + cause);
}

// One file fetched into the cache, resumed or skipped where the server allows.
class CachedDownload {
  public:
    CachedDownload(const DatasetDownloadOptions& options, std::string base, std::string name,
                   int number)
        : options_(options),
          name_(std::move(name)),
          number_(number),
          address_(std::move(base) + name_),
          path_(options.cache_folder + name_),
          part_(path_ + ".part") {}

    UpdatedFile Run() {
        const std::optional<Validators> cached =
            FileSize(path_) > 0 ? ReadValidators(path_ + ".meta") : std::nullopt;
        for (int attempt = 1;; ++attempt) {
            if (options_.stop.stop_requested()) {
                throw UpdateCancelled();
            }
            const Outcome outcome = Attempt(cached);
            if (outcome == Outcome::Unchanged) {
                return Finished(UpdatedFile::Origin::Unchanged, *cached);
            }
            if (outcome == Outcome::Complete) {
                return Finished(UpdatedFile::Origin::Downloaded, Promote());
            }
            if (attempt >= options_.attempts) {
                throw FileFailure(name_, failure_);
            }
        }
    }

  private:
    enum class Outcome { Complete, Unchanged, Cut };

    std::string PartMeta() const { return part_ + ".meta"; }

    // One transfer: the rest of a part kept from before (when it has validators to check its
    // version with), else the whole file, conditional on the cached copy's validators.
    Outcome Attempt(const std::optional<Validators>& cached) {
        HttpOptions http = options_.http;
        http.chunk_bytes = DatasetChunkBytes;
        // A file of a gigabyte takes its time: no overall deadline; a stall still ends it.
        http.deadline_seconds = 0;
        // A stop ends the transfer at libcurl's next progress call (at least once a second);
        // what arrived stays in the part, to be resumed.
        const std::stop_token stop = options_.stop;
        http.keep_going = [stop] { return !stop.stop_requested(); };
        const std::optional<Validators> part_version = ReadValidators(PartMeta());
        std::uint64_t offset = FileSize(part_);
        if (offset > 0 && part_version && !part_version->Empty()) {
            http.range_from = offset;
            http.if_range =
                !part_version->etag.empty() ? part_version->etag : part_version->last_modified;
        } else {
            offset = 0;
            if (cached) {
                http.if_none_match = cached->etag;
                http.if_modified_since = cached->last_modified;
            }
        }

        std::optional<FileDescriptor> file;
        int write_error = 0;
        std::uint64_t size = 0;   // of the part, as written
        std::uint64_t total = 0;  // of the whole file, when the server said
        bool wrong_part = false;
        http.answer_started = [&](long status, const ResponseHeaders& headers) {
            int flags = O_TRUNC;
            size = 0;
            const auto range = ParseContentRange(headers.content_range);
            if (status == 206 && !(range && range->first == offset)) {
                wrong_part = true;  // not the rest of the part held: nothing of it is kept
                return;
            }
            if (status == 206) {
                flags = O_APPEND;
                size = offset;
                total = range->second;
            } else if (headers.content_length >= 0) {
                total = static_cast<std::uint64_t>(headers.content_length);
            }
            if (flags == O_TRUNC) {
                // A new version, or a server without ranges: the part starts over, and its
                // validators are those of this answer.
                try {
                    WriteValidators(PartMeta(), {headers.etag, headers.last_modified});
                } catch (const IoError& error) {
                    write_error = error.Code() == 101 ? ENOSPC : EIO;
                    return;
                }
            }
            file.emplace(CreateOutputFile(part_, flags, 0644));
            if (!file->IsOpen()) {
                write_error = errno;
            }
        };
        const auto sink = [&](const char* data, std::size_t length) {
            if (wrong_part || write_error != 0 || !file || !file->IsOpen()) {
                return false;
            }
            write_error = WriteAll(file->Get(), data, length);
            size += length;
            return write_error == 0;
        };
        const auto progress = [&](std::uint64_t) {
            if (options_.progress) {
                options_.progress({UpdateProgress::Step::Download, name_, size, total, 0, number_,
                                   FileCount});
            }
        };
        const TransferInfo info = HttpGet(address_, sink, progress, http);
        if (file && file->IsOpen() && write_error == 0) {
            write_error = file->Close();
        }
        if (write_error != 0) {
            throw FileFailure(name_, WriteError(write_error).what());
        }
        if (info.cancelled) {
            throw UpdateCancelled();
        }
        if (IsBrowserCheck(info, size)) {
            throw FileFailure(name_, BrowserCheckCause);
        }
        if (info.status == 304 && cached && info.complete) {
            return Outcome::Unchanged;
        }
        if ((info.status == 416 && offset > 0) || wrong_part) {
            // The part is no longer a beginning of the file, or the server sent another part
            // than asked for: start over.
            Forget();
            failure_ = "the server did not resume the download";
            return Outcome::Cut;
        }
        if (!info.connected) {
            throw FileFailure(name_, info.error);
        }
        if (info.status >= 400 || (info.status != 200 && info.status != 206 && info.complete)) {
            throw FileFailure(name_, info.status >= 400 && !info.error.empty()
                                         ? info.error
                                         : "the site answered " + std::to_string(info.status));
        }
        if (!info.complete || (total > 0 && size != total)) {
            failure_ = info.error.empty() ? "the transfer was cut off" : info.error;
            return Outcome::Cut;
        }
        return Outcome::Complete;
    }

    // The complete part becomes the cached file, with its validators.
    Validators Promote() {
        const Validators validators = ReadValidators(PartMeta()).value_or(Validators{});
        ::unlink((path_ + ".meta").c_str());  // stale validators must not outlive their file
        if (::rename(part_.c_str(), path_.c_str()) != 0) {
            throw FileFailure(name_, WriteError(errno).what());
        }
        try {
            WriteValidators(path_ + ".meta", validators);
        } catch (const IoError& error) {
            throw FileFailure(name_, error.what());
        }
        ::unlink(PartMeta().c_str());
        return validators;
    }

    void Forget() {
        ::unlink(part_.c_str());
        ::unlink(PartMeta().c_str());
    }

    UpdatedFile Finished(UpdatedFile::Origin origin, const Validators& validators) const {
        UpdatedFile file;
        file.name = name_;
        file.origin = origin;
        file.path = path_;
        file.size = FileSize(path_);
        file.date = IsoDateFromHttpDate(validators.last_modified);
        if (file.date.empty()) {
            file.date = FileDate(path_);
        }
        return file;
    }

    const DatasetDownloadOptions& options_;
    std::string name_;
    int number_;
    std::string address_;
    std::string path_;
    std::string part_;
    std::string failure_;  // why the last transfer was cut
};

// The file as it lies in a local folder.
UpdatedFile LocalFile(const std::string& folder, const std::string& name) {
    const std::string path = folder + name;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        throw DatasetError(path + ": " + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        throw DatasetError(path + ": not a file");
    }
    return {name, UpdatedFile::Origin::LocalFolder, path, IsoDate(info.st_mtime),
            static_cast<std::uint64_t>(info.st_size)};
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

std::string WithSlash(std::string text) {
    if (text.empty() || text.back() != '/') {
        text += '/';
    }
    return text;
}

void CreateFolder(const std::string& folder, const char* what) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        throw DatasetError(std::string("cannot create ") + what + " " + folder + ": " +
                           error.message());
    }
}

// After a build that failed on a file's content, that file's validators are dropped, so the
// next update fetches it whole instead of being told it is unchanged.
void ForgetCopyNamedIn(const std::string& cause, const std::string& cache_folder) {
    if (cause.find("Disk full") != std::string::npos) {
        return;
    }
    for (const char* name : DatasetFileNames) {
        if (StartsWith(cause, (std::string(name) + ":").c_str())) {
            ::unlink((cache_folder + name + ".meta").c_str());
        }
    }
}

// The counts of the database at db_path when it was built from copies of the files' dates;
// nothing when there is no such database, it cannot be read, or a date differs.
std::optional<dataset::BuildReport> BuiltFromTheseCopies(const std::string& db_path,
                                                         const std::vector<UpdatedFile>& files) {
    struct stat info {};
    if (::stat(db_path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    dataset::DatabaseStatus status;
    try {
        status = dataset::FilmDatabase(db_path).Status();
    } catch (const DatasetError&) {
        return std::nullopt;
    }
    for (const UpdatedFile& file : files) {
        const auto built_from = std::find_if(
            status.file_dates.begin(), status.file_dates.end(),
            [&file](const auto& name_date) { return name_date.first == file.name; });
        if (built_from == status.file_dates.end() || built_from->second != file.date) {
            return std::nullopt;
        }
    }
    return dataset::BuildReport{status.titles, status.names, status.skipped_rows};
}

}  // namespace

std::string IsoDateFromHttpDate(const std::string& http_date) {
    // Read by hand: strptime's %a and %b follow the user's LC_TIME, which korvid-cli sets, and
    // HTTP dates are always in English.
    static constexpr const char* Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char weekday[4] = {};
    char month[4] = {};
    std::tm parts{};
    int length = 0;
    if (std::sscanf(http_date.c_str(), "%3[A-Za-z], %2d %3[A-Za-z] %4d %2d:%2d:%2d GMT%n", weekday,
                    &parts.tm_mday, month, &parts.tm_year, &parts.tm_hour, &parts.tm_min,
                    &parts.tm_sec, &length) != 7 ||
        static_cast<std::size_t>(length) != http_date.size()) {
        return {};
    }
    const auto found =
        std::find_if(std::begin(Months), std::end(Months),
                     [&month](const char* name) { return std::strcmp(name, month) == 0; });
    if (found == std::end(Months) || parts.tm_mday < 1 || parts.tm_mday > 31 ||
        parts.tm_hour > 23 || parts.tm_min > 59 || parts.tm_sec > 60) {
        return {};
    }
    parts.tm_mon = static_cast<int>(found - std::begin(Months));
    parts.tm_year -= 1900;
    return IsoDate(::timegm(&parts));
}

DatasetUpdateReport UpdateDatasets(const DatasetDownloadOptions& options) {
    std::string source = options.source.empty() ? DatasetBaseUrl : options.source;
    const bool remote = StartsWith(source, "http://") || StartsWith(source, "https://");
    if (StartsWith(source, "file://")) {
        source.erase(0, 7);
    } else if (!remote && source.find("://") != std::string::npos) {
        throw DatasetError(source + ": not an http or https address, nor a folder");
    }
    source = WithSlash(source);

    // The lock comes first: an update that finds another one running changes nothing.
    CreateFolder(options.cache_folder, "the download folder");
    const UpdateLock lock(options.cache_folder);
    // Partial databases of an update that was killed: nobody holds them any more.
    dataset::RemoveStaleBuildFiles(options.db_path);

    DatasetUpdateReport report;
    int number = 0;
    for (const char* name : DatasetFileNames) {
        if (options.stop.stop_requested()) {
            throw UpdateCancelled();
        }
        ++number;
        report.files.push_back(remote ? CachedDownload(options, source, name, number).Run()
                                      : LocalFile(source, name));
    }

    // Every file reported unchanged, and the database built from copies of the same dates: a
    // build would make the same database again, so the one there is kept.
    const auto unchanged = [](const UpdatedFile& file) {
        return file.origin == UpdatedFile::Origin::Unchanged;
    };
    if (std::all_of(report.files.begin(), report.files.end(), unchanged)) {
        if (const auto counts = BuiltFromTheseCopies(options.db_path, report.files)) {
            report.build = *counts;
            report.rebuilt = false;
            return report;
        }
    }

    const fs::path db_folder = fs::path(options.db_path).parent_path();
    if (!db_folder.empty()) {
        CreateFolder(db_folder.string(), "the database folder");
    }
    const auto source_of = [&report](int index) {
        return dataset::SourceFile{report.files[index].path, report.files[index].date};
    };
    const dataset::BuildSources sources{source_of(0), source_of(1), source_of(2), source_of(3),
                                        source_of(4)};
    dataset::BuildProgressCallback build_progress;
    if (options.progress) {
        build_progress = [&options](const dataset::BuildProgress& step) {
            const bool indexing = step.phase == dataset::BuildProgress::Phase::Indexing;
            options.progress({indexing ? UpdateProgress::Step::Index : UpdateProgress::Step::Build,
                              step.file, step.bytes_read, step.bytes_total, step.rows,
                              step.file_number, FileCount});
        };
    }
    if (options.stop.stop_requested()) {
        throw UpdateCancelled();
    }
    try {
        report.build =
            dataset::BuildDatabase(sources, options.db_path, build_progress, options.stop);
    } catch (const dataset::BuildCancelled&) {
        // Stopped, not spoilt: every copy stays as it is for the next update.
        throw UpdateCancelled();
    } catch (const DatasetError& error) {
        if (options.stop.stop_requested()) {
            throw UpdateCancelled();
        }
        if (remote) {
            ForgetCopyNamedIn(error.what(), options.cache_folder);
        }
        throw;
    } catch (const std::bad_alloc&) {
        throw DatasetError("out of memory");
    } catch (const std::exception& error) {
        throw DatasetError(error.what());
    }
    return report;
}

}  // namespace korvid
