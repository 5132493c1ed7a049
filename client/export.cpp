// The two export documents of the film read last: the XML description (XmlLines) and the
// "~"-separated CSV document (CsvLines), and saving either one to a file.

#include <ctime>
#include <string>

#include "client/IMDBImport.h"
#include "common/safe_save.h"

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

// Writes the lines, each followed by CR LF, through the safe save: a save that fails leaves
// the earlier file as it was.
void SaveLines(const LineList& lines, const ShortString& file_name) {
    std::string text;
    text.reserve(lines.Buffer().size() + static_cast<std::size_t>(lines.Count()));
    for (int i = 0; i < lines.Count(); ++i) {
        text += lines[i];
        text += "\r\n";
    }
    SaveFileSafely(file_name.str(), text);
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
