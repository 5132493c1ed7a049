#include "cli/rename_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "cli/terminal_text.h"
#include "common/errors.h"
#include "common/output_file.h"
#include "dataset/database_path.h"

namespace korvid::cli {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr const char* JournalKind = "korvid renames";
constexpr const char* JournalPrefix = "renames-";
constexpr const char* JournalExtension = ".jsonl";

// Makes each missing folder of the path, for the user alone.
void MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            throw std::runtime_error("cannot make the folder " + EscapedFileName(part) + ": " +
                                     ErrnoText(errno));
        }
    }
}

// "renames-20260507T101502.123456789Z-4711.jsonl": names that sort as their times do.
std::string JournalName() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm utc{};
    ::gmtime_r(&now.tv_sec, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", &utc);
    char nanoseconds[16];
    std::snprintf(nanoseconds, sizeof nanoseconds, "%09ld", static_cast<long>(now.tv_nsec));
    return std::string(JournalPrefix) + stamp + "." + nanoseconds + "Z-" +
           std::to_string(::getpid()) + JournalExtension;
}

void Flush(int fd, const std::string& path) {
    if (::fsync(fd) != 0) {
        throw std::runtime_error("cannot write the journal " + EscapedFileName(path) + ": " +
                                 ErrnoText(errno));
    }
}

std::string ReadWhole(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        throw std::runtime_error(EscapedFileName(path) + ": " + ErrnoText(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        throw std::runtime_error(EscapedFileName(path) + ": not a rename journal");
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) {
        throw std::runtime_error(EscapedFileName(path) + ": cannot be read");
    }
    return text.str();
}

std::string PathField(const Json& line, const char* name) {
    const std::optional<std::string> path = FileNameFromJson(line.at(name).get<std::string>());
    if (!path || path->empty() || path->front() != '/') {
        throw std::runtime_error(std::string("the ") + name + " name is no absolute path");
    }
    return *path;
}

}  // namespace

std::string RenameJournalFolder() {
    // The one resolver of Korvid's folders: relative XDG values ignored, links and other
    // users' folders refused.
    return dataset::StateFolder() + "renames/";
}

RenameJournal::RenameJournal(const std::string& folder)
    : path_((MakeFolders(folder), folder + JournalName())),
      file_(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600)) {
    if (!file_.IsOpen()) {
        throw std::runtime_error("cannot make the journal " + EscapedFileName(path_) + ": " +
                                 ErrnoText(errno));
    }
    Append(Json{{"journal", JournalKind}, {"version", 1}}.dump(), true);
    // The journal's name in its folder is on the disk too.
    const FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.IsOpen() || ::fsync(dir.Get()) != 0) {
        throw std::runtime_error("cannot write the journal's folder " + EscapedFileName(folder) +
                                 ": " + ErrnoText(errno));
    }
}

void RenameJournal::Append(const std::string& line, bool flush) {
    const std::string text = line + "\n";
    if (const int error = WriteAll(file_.Get(), text.data(), text.size()); error != 0) {
        throw std::runtime_error("cannot write the journal " + EscapedFileName(path_) + ": " +
                                 WriteError(error).what());
    }
    if (flush) {
        Flush(file_.Get(), path_);
    }
}

void RenameJournal::Record(const std::string& old_path, const std::string& new_path, dev_t device,
                           ino_t inode) {
    const Json line = {{"rename", count_},
                       {"old", FileNameForJson(fs::absolute(old_path).string())},
                       {"new", FileNameForJson(fs::absolute(new_path).string())},
                       {"device", static_cast<std::uint64_t>(device)},
                       {"inode", static_cast<std::uint64_t>(inode)}};
    Append(line.dump(), true);
    ++count_;
}

void RenameJournal::NotMade() {
    // Not flushed: undo-rename also finds an unmade rename by the file not being at its new name.
    Append(Json{{"not_made", count_ - 1}}.dump(), false);
}

JournalContents ReadRenameJournal(const std::string& path) {
    const std::string text = ReadWhole(path);
    JournalContents contents;
    std::size_t number = 0;
    for (std::size_t start = 0; start < text.size(); ++number) {
        const std::size_t end = text.find('\n', start);
        const bool last_cut = end == std::string::npos;
        const std::string line = text.substr(start, last_cut ? std::string::npos : end - start);
        start = last_cut ? text.size() : end + 1;
        try {
            const Json value = Json::parse(line);
            if (number == 0) {
                if (value.value("journal", "") != JournalKind) {
                    throw std::runtime_error("no journal line");
                }
                continue;
            }
            if (value.contains("rename")) {
                if (value.at("rename").get<std::size_t>() != contents.entries.size()) {
                    throw std::runtime_error("renames out of order");
                }
                contents.entries.push_back(
                    {PathField(value, "old"), PathField(value, "new"),
                     static_cast<dev_t>(value.at("device").get<std::uint64_t>()),
                     static_cast<ino_t>(value.at("inode").get<std::uint64_t>()), true});
            } else if (value.contains("not_made")) {
                contents.entries.at(value.at("not_made").get<std::size_t>()).made = false;
            } else if (value.contains("undone")) {
                contents.undone = true;
            } else {
                throw std::runtime_error("an unknown line");
            }
        } catch (const std::exception& e) {
            if (last_cut && number > 0) {
                break;  // written in part when the scan stopped: its rename was not made
            }
            throw std::runtime_error(EscapedFileName(path) + ": not a rename journal (line " +
                                     std::to_string(number + 1) + ": " + e.what() + ")");
        }
    }
    if (number == 0) {
        throw std::runtime_error(EscapedFileName(path) + ": not a rename journal (empty)");
    }
    return contents;
}

void MarkJournalUndone(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW));
    const std::string line = Json{{"undone", true}}.dump() + "\n";
    const int error = file.IsOpen() ? WriteAll(file.Get(), line.data(), line.size()) : errno;
    if (error != 0) {
        throw std::runtime_error("cannot write the journal " + EscapedFileName(path) + ": " +
                                 ErrnoText(error));
    }
    Flush(file.Get(), path);
}

std::optional<std::string> NewestRenameJournal(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(JournalPrefix) && name.ends_with(JournalExtension)) {
            names.push_back(name);
        }
    }
    std::sort(names.rbegin(), names.rend());
    for (const std::string& name : names) {
        try {
            if (!ReadRenameJournal(folder + name).undone) {
                return folder + name;
            }
        } catch (const std::exception&) {
            return folder + name;  // undo-rename says what is wrong with it
        }
    }
    return std::nullopt;
}

}  // namespace korvid::cli
