// The two export documents of the film read last: the XML description (XmlLines) and the
// "~"-separated CSV document (CsvLines), and saving either one to a file.

#include <ctime>
#include <string>

#include "client/IMDBImport.h"
#include "common/errors.h"

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

// A name the C library would cut at an embedded NUL names another file than the one chosen.
void SaveLines(const LineList& lines, const ShortString& file_name) {
    if (file_name.str().find('\0') != std::string::npos) {
        throw FileCreateError(file_name.str());
    }
    lines.SaveToFile(file_name.str());
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
