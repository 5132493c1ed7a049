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

#include "client/dataset_cache.h"
#include "client/film_data_removal.h"
#include "client/part_writer.h"
#include "client/update_lock.h"
#include "client/web_address.h"
#include "common/file_descriptor.h"
#include "common/output_file.h"
#include "common/text.h"
#include "dataset/build_file.h"
#include "dataset/database_path.h"
#include "dataset/database_schema.h"
#include "dataset/film_database.h"

namespace korvid {
namespace {

namespace fs = std::filesystem;
using dataset::DatasetError;

constexpr int FileCount = static_cast<int>(std::size(DatasetFileNames));

// A transfer hands over chunks of up to this size (the pages keep libcurl's 1 KiB).
constexpr long DatasetChunkBytes = 64 * 1024;

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

// The total of a 416 answer's "bytes */TOTAL"; nothing when malformed.
std::optional<std::uint64_t> UnsatisfiedRangeTotal(const std::string& text) {
    unsigned long long total = 0;
    int length = 0;
    if (std::sscanf(text.c_str(), "bytes */%llu%n", &total, &length) != 1 ||
        static_cast<std::size_t>(length) != text.size()) {
        return std::nullopt;
    }
    return total;
}

// "name: cause", the one line an update that failed on one file ends with.
DatasetError FileFailure(const std::string& name, const std::string& cause) {
    return DatasetError(name + ": " + cause);
}

// The copy of the file in the cache, when its record may be trusted: a regular file of one
// link, of the length recorded with its validators, fetched from this base address, and gzip
// data by its first bytes. Any other copy loses its record, so that it is fetched whole.
std::optional<CopyRecord> TrustedCopy(const std::string& path, const std::string& base) {
    const std::optional<std::uint64_t> size = UsableCacheFile(path);
    std::optional<CopyRecord> record = size ? ReadCopyRecord(path + ".meta") : std::nullopt;
    bool trusted = record && record->source == base && record->length == *size && *size > 0 &&
                   record->HasValidators();
    if (trusted) {
        const FileDescriptor copy(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK |
                                                           O_CLOEXEC));
        unsigned char magic[2] = {};
        trusted = copy.IsOpen() && ::read(copy.Get(), magic, 2) == 2 && magic[0] == 0x1F &&
                  magic[1] == 0x8B;
    }
    if (!trusted) {
        ::unlink((path + ".meta").c_str());
        return std::nullopt;
    }
    return record;
}

// One file fetched into the cache, resumed or skipped where the server allows.
class CachedDownload {
  public:
    CachedDownload(const DatasetDownloadOptions& options, const std::string& address_base,
                   std::string base, std::string name, int number,
                   std::optional<CopyRecord> cached)
        : options_(options),
          base_(std::move(base)),
          name_(std::move(name)),
          number_(number),
          address_(address_base + name_),
          path_(options.cache_folder + name_),
          part_(path_ + ".part"),
          cached_(std::move(cached)) {}

    UpdatedFile Run() {
        for (int attempt = 1;; ++attempt) {
            if (options_.stop.stop_requested()) {
                throw UpdateCancelled();
            }
            const Outcome outcome = Attempt();
            if (outcome == Outcome::Unchanged) {
                return Reported(Finished(UpdatedFile::Origin::Unchanged, *cached_));
            }
            if (outcome == Outcome::Complete) {
                return Reported(Finished(UpdatedFile::Origin::Downloaded, Promote()));
            }
            if (attempt >= options_.attempts) {
                throw FileFailure(name_, failure_);
            }
        }
    }

  private:
    enum class Outcome { Complete, Unchanged, Cut };

    std::string PartMeta() const { return part_ + ".meta"; }

    // One transfer into the part, and what its end means.
    Outcome Attempt() {
        HttpOptions http = options_.http;
        http.chunk_bytes = DatasetChunkBytes;
        // A file of a gigabyte takes its time: no overall deadline; a stall still ends it.
        http.deadline_seconds = 0;
        // A stop ends the transfer at libcurl's next progress call (at least once a second);
        // what arrived stays in the part, to be resumed.
        const std::stop_token stop = options_.stop;
        http.keep_going = [stop] { return !stop.stop_requested(); };
        const std::uint64_t offset = AskFor(http);
        PartWriter part(part_, base_, offset, options_.max_file_bytes, options_.stop);
        http.answer_started = [&part](long status, const ResponseHeaders& headers) {
            part.Begin(status, headers);
        };
        const TransferInfo info = HttpGet(
            address_, [&part](const char* data, std::size_t length) { return part.Write(data, length); },
            [&](std::uint64_t received) {
                if (options_.progress) {
                    const std::uint64_t size = part.Size();
                    options_.progress({UpdateProgress::Step::Download, name_, size, part.Total(),
                                       0, number_, FileCount,
                                       size > received ? size - received : 0});
                }
            },
            http);
        part.Close();
        return Classify(info, part, offset);
    }

    // What the request asks for: the rest of a part kept from before (when it came from this
    // address and has validators to check its version with), else the whole file, conditional
    // on the cached copy's validators. Returns the offset asked from (0: the whole file).
    std::uint64_t AskFor(HttpOptions& http) const {
        const std::optional<std::uint64_t> part_size = UsableCacheFile(part_);
        if (!part_size) {
            ::unlink(PartMeta().c_str());  // a part's record without its part
        }
        const std::optional<CopyRecord> part_version =
            part_size ? ReadCopyRecord(PartMeta()) : std::nullopt;
        const std::uint64_t offset = part_size.value_or(0);
        if (offset > 0 && offset < options_.max_file_bytes && part_version &&
            part_version->source == base_ && part_version->HasValidators()) {
            http.range_from = offset;
            http.if_range =
                !part_version->etag.empty() ? part_version->etag : part_version->last_modified;
            return offset;
        }
        if (cached_) {
            http.if_none_match = cached_->etag;
            http.if_modified_since = cached_->last_modified;
        }
        return 0;
    }

    // How the transfer ended: the file whole (and whole gzip data) or unchanged, cut (to be
    // tried again, with the cause in failure_), or a failure of the update, raised.
    Outcome Classify(const TransferInfo& info, const PartWriter& part, std::uint64_t offset) {
        if (!part.TooLarge().empty()) {
            // Never kept: a part over the limit is no beginning of the file wanted.
            Forget();
            throw FileFailure(name_, part.TooLarge());
        }
        if (part.WriteErrorNumber() != 0) {
            // A full disk keeps the part for resuming once there is room.
            throw FileFailure(name_, WriteError(part.WriteErrorNumber()).what());
        }
        if (info.cancelled || part.Stopped()) {
            throw UpdateCancelled();
        }
        if (!part.Spoilt().empty()) {
            // Found while the bytes arrived, or in the part held before they did: whatever
            // follows, the file is no gzip data.
            Spoilt(part.Spoilt());
        }
        if (IsBrowserCheck(info, part.Size())) {
            throw FileFailure(name_, BrowserCheckCause);
        }
        if (info.status == 304 && cached_ && info.complete) {
            return Outcome::Unchanged;
        }
        if (info.status == 416 && offset > 0 &&
            UnsatisfiedRangeTotal(info.headers.content_range) == offset) {
            // The part held is the whole file already (an update was stopped while it
            // checked it): nothing is fetched again, and it is checked here, once.
            CheckWholePart();
            return Outcome::Complete;
        }
        if ((info.status == 416 && offset > 0) || part.WrongPart()) {
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
        if (!info.complete || (part.Total() > 0 && part.Size() != part.Total())) {
            failure_ = info.error.empty() ? "the transfer was cut off" : info.error;
            return Outcome::Cut;
        }
        // Every byte of the part has passed the check on its way in.
        if (const std::string damage = part.GzipVerdict(); !damage.empty()) {
            Spoilt(damage);
        }
        return Outcome::Complete;
    }

    // A part that arrived in an earlier update, whole already: read through the check once.
    void CheckWholePart() {
        const std::string damage = GzipDamage(part_, options_.stop);
        if (damage == "stopped") {
            throw UpdateCancelled();
        }
        if (!damage.empty()) {
            Spoilt(damage);
        }
    }

    // A whole answer that is not whole gzip data (a server that sent it short or damaged) is
    // never kept: the next update fetches the file whole.
    [[noreturn]] void Spoilt(const std::string& damage) {
        Forget();
        throw FileFailure(name_, "the download is spoilt: " + damage);
    }

    // The complete part becomes the cached file, with its record and length.
    CopyRecord Promote() {
        CopyRecord record = ReadCopyRecord(PartMeta()).value_or(CopyRecord{base_, {}, {}, 0});
        record.length = UsableCacheFile(part_).value_or(0);
        ::unlink((path_ + ".meta").c_str());  // a stale record must not outlive its file
        if (::rename(part_.c_str(), path_.c_str()) != 0) {
            throw FileFailure(name_, WriteError(errno).what());
        }
        try {
            WriteCopyRecord(path_ + ".meta", record);
        } catch (const IoError& error) {
            throw FileFailure(name_, error.what());
        }
        ::unlink(PartMeta().c_str());
        return record;
    }

    void Forget() {
        ::unlink(part_.c_str());
        ::unlink(PartMeta().c_str());
    }

    // The file's end, for the progress: all its bytes are held.
    UpdatedFile Reported(UpdatedFile file) const {
        if (options_.progress) {
            options_.progress({UpdateProgress::Step::Download, name_, file.size, file.size, 0,
                               number_, FileCount, file.size});
        }
        return file;
    }

    UpdatedFile Finished(UpdatedFile::Origin origin, const CopyRecord& record) const {
        UpdatedFile file;
        file.name = name_;
        file.origin = origin;
        file.path = path_;
        file.size = FileSize(path_);
        file.date = IsoDateFromHttpDate(record.last_modified);
        if (file.date.empty()) {
            file.date = FileDate(path_);
        }
        return file;
    }

    const DatasetDownloadOptions& options_;
    std::string base_;
    std::string name_;
    int number_;
    std::string address_;
    std::string path_;
    std::string part_;
    std::optional<CopyRecord> cached_;
    std::string failure_;  // why the last transfer was cut
};

// A remote base address as a download may use it, checked as the transfer reads it (libcurl's
// own parser, so a "#" or "@" cannot lead elsewhere), and returned without its user name and
// password, as the records name it. A base with a query or a fragment would put the file's
// name inside them: refused.
std::string RemoteBase(const std::string& base) {
    if (base.find_first_of("?#") != std::string::npos) {
        throw DatasetError(base + ": a base address with a query or a fragment");
    }
    std::string failure;
    const std::optional<WebAddress> parsed = ParseWebAddress(base, &failure);
    if (!parsed) {
        throw DatasetError(base + ": " + failure);
    }
    if (!parsed->user_info) {
        return base;
    }
    const std::size_t authority = base.find("://") + 3;
    const std::size_t path = base.find('/', authority);
    const std::size_t at = base.rfind('@', path);
    return base.substr(0, authority) + base.substr(at + 1);
}

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

// The counts of the database at db_path when it was built from copies of exactly these files,
// each of the same date and size, by a build of today's schema; nothing when there is no such
// database, it cannot be read, a file differs, or one is there that was not used (or the other
// way round: the alternative titles).
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
    if (std::to_string(status.schema_version) != dataset::kSchemaVersion ||
        status.file_dates.size() != files.size()) {
        return std::nullopt;
    }
    for (const UpdatedFile& file : files) {
        const auto named = [&file](const auto& entry) { return entry.first == file.name; };
        const auto date = std::find_if(status.file_dates.begin(), status.file_dates.end(), named);
        const auto size = std::find_if(status.file_sizes.begin(), status.file_sizes.end(), named);
        if (date == status.file_dates.end() || date->second != file.date ||
            size == status.file_sizes.end() || size->second != file.size) {
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
    // Schemes in any letter case.
    const std::size_t scheme_end = source.find("://");
    if (scheme_end != std::string::npos) {
        std::transform(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(scheme_end),
                       source.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    }
    const bool remote = StartsWith(source, "http://") || StartsWith(source, "https://");
    if (StartsWith(source, "file://")) {
        source.erase(0, 7);
    } else if (!remote && source.find("://") != std::string::npos) {
        throw DatasetError(source + ": not an http or https address, nor a folder");
    }
    source = WithSlash(source);
    // What the records name: the base without a user name or password, which the cache's
    // files never hold.
    std::string record_source = source;
    if (remote) {
        record_source = RemoteBase(source);
    }
    // A folder, a FIFO or a device at the database's path is refused before anything is
    // fetched.
    dataset::DatabaseFilePresent(options.db_path);

    // The lock comes first: an update that finds another one running changes nothing.
    CreateFolder(options.cache_folder, "the download folder");
    const UpdateLock lock(options.cache_folder);
    // Partial databases of an update that was killed: nobody holds them any more.
    dataset::RemoveStaleBuildFiles(options.db_path);
    if (const std::string lacking =
            DiskShortfall(EstimateDiskNeed(options.cache_folder, remote ? "" : source),
                          options.cache_folder, options.db_path, options.free_space);
        !lacking.empty()) {
        throw NotEnoughDisk(lacking);
    }

    // Every copy is judged before anything is fetched, so that all the copies spoilt or
    // changed since their record are fetched whole by this one update.
    std::vector<std::optional<CopyRecord>> trusted;
    if (remote) {
        for (const char* name : DatasetFileNames) {
            trusted.push_back(TrustedCopy(options.cache_folder + name, record_source));
        }
    }
    DatasetUpdateReport report;
    for (int index = 0; index < FileCount; ++index) {
        if (options.stop.stop_requested()) {
            throw UpdateCancelled();
        }
        const char* name = DatasetFileNames[index];
        if (!remote && !dataset::DatasetFiles[index].required &&
            ::access((source + name).c_str(), F_OK) != 0) {
            continue;  // a folder without the alternative titles builds without them
        }
        report.files.push_back(
            remote ? CachedDownload(options, source, record_source, name, index + 1,
                                    trusted[index])
                         .Run()
                   : LocalFile(source, name));
    }

    // Every file reported unchanged by the server (a folder's files always count as such), and
    // the database built from copies of the same dates and sizes: a build would make the same
    // database again, so the one there is kept.
    const auto unchanged = [](const UpdatedFile& file) {
        return file.origin != UpdatedFile::Origin::Downloaded;
    };
    if (std::all_of(report.files.begin(), report.files.end(), unchanged)) {
        if (const auto counts = BuiltFromTheseCopies(options.db_path, report.files)) {
            report.build = *counts;
            report.rebuilt = false;
            ForgetFilmDataRemoval(options.cache_folder);
            return report;
        }
    }

    const fs::path db_folder = fs::path(options.db_path).parent_path();
    if (!db_folder.empty()) {
        CreateFolder(db_folder.string(), "the database folder");
    }
    // A file the update has not got (the alternative titles of a folder) has an empty path.
    const auto source_of = [&report](int index) {
        const char* name = DatasetFileNames[index];
        const auto file =
            std::find_if(report.files.begin(), report.files.end(),
                         [name](const UpdatedFile& file) { return file.name == name; });
        return file != report.files.end() ? dataset::SourceFile{file->path, file->date, file->size}
                                          : dataset::SourceFile{};
    };
    const dataset::BuildSources sources{source_of(0), source_of(1), source_of(2),
                                        source_of(3), source_of(4), source_of(5)};
    dataset::BuildProgressCallback build_progress;
    if (options.progress) {
        // The build reads the files there are: five from a folder without the alternative
        // titles.
        const int build_files = static_cast<int>(report.files.size());
        build_progress = [&options, build_files](const dataset::BuildProgress& step) {
            const bool indexing = step.phase == dataset::BuildProgress::Phase::Indexing;
            options.progress({indexing ? UpdateProgress::Step::Index : UpdateProgress::Step::Build,
                              step.file, step.bytes_read, step.bytes_total, step.rows,
                              step.file_number, build_files});
        };
    }
    if (options.stop.stop_requested()) {
        throw UpdateCancelled();
    }
    try {
        report.build = dataset::BuildDatabase(sources, options.db_path, build_progress,
                                              options.stop, options.force);
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
    // The film data is there again: no longer "removed".
    ForgetFilmDataRemoval(options.cache_folder);
    return report;
}

}  // namespace korvid
