// The two export documents of the film read last: the XML description (XmlLines) and the
// "~"-separated CSV document (CsvLines), and saving either one to a file.

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>

#include "client/IMDBImport.h"
#include "client/output_file.h"
#include "common/errors.h"
#include "common/file_descriptor.h"

namespace korvid {
namespace {

// The local date of the moment in the locale's short date form ("%x"), no time of day.
std::string ShortDate(std::time_t moment) {
    std::tm local{};
    if (localtime_r(&moment, &local) == nullptr) {
        return "";
    }
    char buffer[128];
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%x", &local);
    return std::string(buffer, length);
}

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

// Writes the lines, each followed by CR LF, into a temporary file beside the target and
// renames it over the target once it is written whole: a save that fails leaves the earlier
// file as it was. An existing file keeps its permission bits.
void SaveLines(const LineList& lines, const ShortString& file_name) {
    const std::string& name = file_name.str();
    // A name the C library would cut at an embedded NUL names another file than the one
    // chosen; an empty name or a folder cannot take the document.
    struct stat existing {};
    const std::string target = name.find('\0') == std::string::npos ? SaveTarget(name) : "";
    const bool exists = !target.empty() && ::stat(target.c_str(), &existing) == 0;
    if (target.empty() || (exists && S_ISDIR(existing.st_mode))) {
        throw FileCreateError(name);
    }
    std::string text;
    text.reserve(lines.Buffer().size() + static_cast<std::size_t>(lines.Count()));
    for (int i = 0; i < lines.Count(); ++i) {
        text += lines[i];
        text += "\r\n";
    }

    std::string temp_name;
    FileDescriptor file(CreateBeside(target, &temp_name));
    if (!file.IsOpen()) {
        throw FileCreateError(name);
    }
    int error = WriteAll(file.Get(), text.data(), text.size());
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

}  // namespace

void TIMDBImport::StartXmlDocument() {
    XmlLines.Clear();
    XmlLines.Add("<DVD_Data>");
    XmlLines.Add("<Software_Info>");
    XmlLines.Add("  <Program>Brellow Korvid</Program>");
    XmlLines.Add("  <Written_By>Brellow</Written_By>");
    XmlLines.Add("  <Version>1.0</Version>");
    XmlLines.Add("</Software_Info>");
    XmlLines.Add("<Scan_Data>");
    XmlLines.Add("  <Scanned_Data>" + Title + "</Scanned_Data>");
    const std::time_t now = clock_ ? clock_() : std::time(nullptr);
    XmlLines.Add("  <Date_Scanned>" + ShortDate(now) + "</Date_Scanned>");
    XmlLines.Add("</Scan_Data>");
}

void TIMDBImport::FinishCsvRow() {
    // No quoting in the CSV document: apostrophes are dropped from the row instead.
    std::string row = CsvRow.str();
    std::erase(row, '\'');
    CsvLines.Add(ShortString(TrimControls(ShortString(row).str())).str());
    CsvRow = "";
}

void TIMDBImport::SaveXml(const ShortString& file_name) const {
    SaveLines(XmlLines, file_name);
}

void TIMDBImport::SaveCsv(const ShortString& file_name) const {
    SaveLines(CsvLines, file_name);
}

}  // namespace korvid
