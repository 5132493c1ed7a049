// The XML and CSV documents: their opening lines, the finished CSV row, and saving both to
// real files in a temporary folder.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "client/IMDBImport.h"
#include "common/errors.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"
#include "tests/support/all_lines.h"

namespace korvid {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using test_support::AllLines;
using test_support::FileExists;
using test_support::ReadFileBytes;
using test_support::ScriptedPrompts;
using test_support::TempDir;
using test_support::WriteFileBytes;

// 1999-12-31 12:00 UTC.
constexpr std::time_t NoonOnNewYearsEve = 946641600;

class ExportTest : public ::testing::Test {
  protected:
    ExportTest() : importer_(prompts_) {
        importer_.SetClock([] { return NoonOnNewYearsEve; });
    }

    void SaveAndExpectCreateError(bool xml, const std::string& name) {
        try {
            xml ? importer_.SaveXml(name) : importer_.SaveCsv(name);
            FAIL() << "no error for " << name;
        } catch (const FileCreateError& error) {
            // The message is a C string: a name with a NUL byte shows up to that byte.
            EXPECT_STREQ(error.what(), ("Cannot create file " + name).c_str());
        }
    }

    TempDir dir_;
    ScriptedPrompts prompts_;
    TIMDBImport importer_;
};

TEST_F(ExportTest, StartXmlDocumentWritesTheOpeningLinesWithTitleAndDate) {
    importer_.XmlLines.Add("left over");
    importer_.Title = "Salt & <Pepper>";
    importer_.StartXmlDocument();
    EXPECT_THAT(AllLines(importer_.XmlLines),
                ElementsAre("<DVD_Data>", "<Software_Info>", "  <Program>Brellow Korvid</Program>",
                            "  <Written_By>Brellow</Written_By>", "  <Version>1.0</Version>",
                            "</Software_Info>", "<Scan_Data>",
                            "  <Scanned_Data>Salt & <Pepper></Scanned_Data>",
                            "  <Date_Scanned>12/31/99</Date_Scanned>", "</Scan_Data>"));
}

TEST_F(ExportTest, ScanDateFollowsTheClock) {
    importer_.SetClock([] { return static_cast<std::time_t>(1773489600); });  // 2026-03-14 noon
    importer_.StartXmlDocument();
    EXPECT_EQ(importer_.XmlLines[8], "  <Date_Scanned>03/14/26</Date_Scanned>");
}

struct RowCase {
    const char* name;
    std::string row;
    std::string finished;
};

class FinishCsvRowTest : public ExportTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(FinishCsvRowTest, CleansTheRowAndAddsIt) {
    importer_.CsvRow = GetParam().row;
    importer_.FinishCsvRow();
    EXPECT_THAT(AllLines(importer_.CsvLines),
                ElementsAre(std::string(CsvHeaderRow), GetParam().finished));
    EXPECT_TRUE(importer_.CsvRow.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FinishCsvRowTest,
    ::testing::Values(RowCase{"EveryApostropheGoes", "it's Bob's 'film'~1", "its Bobs film~1"},
                      RowCase{"TrimsSpacesAndControls",
                              std::string(" \t\x01 Title ~1~\r\n \x1F", 15), "Title ~1~"},
                      RowCase{"KeepsHighBytesAtTheEnds", "\xE9t\xE9~1~\xA0", "\xE9t\xE9~1~\xA0"},
                      RowCase{"KeepsInnerSpacesAndTildes", "A  B~~~~", "A  B~~~~"},
                      RowCase{"OnlyApostrophesAndSpaces", " ' '' ", ""},
                      RowCase{"FullLengthRow", std::string(255, 'r'), std::string(255, 'r')}),
    [](const ::testing::TestParamInfo<RowCase>& info) { return std::string(info.param.name); });

TEST_F(ExportTest, SavingBeforeAnyFilmWritesHeaderOrNothing) {
    importer_.SaveCsv(dir_.File("film.csv"));
    importer_.SaveXml(dir_.File("film.xml"));
    EXPECT_EQ(ReadFileBytes(dir_.File("film.csv")),
              "Productname~Owner~Image~CategoryID~Details~Quality~IMDB_NO\r\n");
    EXPECT_EQ(ReadFileBytes(dir_.File("film.xml")), "");
}

TEST_F(ExportTest, SavesAParsedFilmByteForByte) {
    importer_.Title = "caf\xE9";
    importer_.MovieUrl = "http://127.0.0.1:1/title/tt0000042/";
    importer_.PageLines.SetText(
        "<title>Caf\xE9 Noir (1950)</title>\r\n"
        "<b class=\"ch\">Genre:</b>\r\n<a href=\"/g\">Crime</a>\r\n"
        "Tagline: b>It's late.<a>\r\nPlot Outline: b>Rain & smoke.<a href=\"p\">more</a>\r\n"
        "Runtime:\r\n 77 min \r\n<b>7.1/10</b>\r\n");
    importer_.ParseMoviePage();
    importer_.SaveXml(dir_.File("film.xml"));
    importer_.SaveCsv(dir_.File("film.csv"));

    EXPECT_EQ(ReadFileBytes(dir_.File("film.xml")),
              "<DVD_Data>\r\n"
              "<Software_Info>\r\n"
              "  <Program>Brellow Korvid</Program>\r\n"
              "  <Written_By>Brellow</Written_By>\r\n"
              "  <Version>1.0</Version>\r\n"
              "</Software_Info>\r\n"
              "<Scan_Data>\r\n"
              "  <Scanned_Data>caf\xE9</Scanned_Data>\r\n"
              "  <Date_Scanned>12/31/99</Date_Scanned>\r\n"
              "</Scan_Data>\r\n"
              "<Movie_Data>\r\n"
              "<Movie_Title>Caf\xE9 Noir </Movie_Title>\r\n"
              "<Year>1950</Year>\r\n"
              "<Movie_Genre>\r\n"
              "<Genre>Crime</Genre>\r\n"
              "</Movie_Genre>\r\n"
              "<Additional_Info>\r\n"
              "<Tag_Line>It's late.</Tag_Line>\r\n"
              "<Plot>Rain & smoke.</Plot>\r\n"
              "</Additional_Info>\r\n"
              "<Running_Time>77 min</Running_Time>\r\n"
              "<Cast_Members>\r\n"
              "</Cast_Members>\r\n"
              "<Rating>7.1/10</Rating>\r\n"
              "  </Movie_Data>\r\n"
              "</DVD_Data>\r\n");
    EXPECT_EQ(ReadFileBytes(dir_.File("film.csv")),
              "Productname~Owner~Image~CategoryID~Details~Quality~IMDB_NO\r\n"
              "Caf\xE9 Noir ~1~~6~Rain & smoke. Directed By : ~7.1/10~"
              "http://127.0.0.1:1/title/tt0000042/\r\n");
}

TEST_F(ExportTest, SecondFilmReplacesTheFirstInBothDocuments) {
    importer_.PageLines.SetText("<title>First (1901)</title>\n<b>1.0/10</b>\n");
    importer_.ParseMoviePage();
    importer_.PageLines.SetText("<title>Second (1902)</title>\n<b>2.0/10</b>\n");
    importer_.ParseMoviePage();
    importer_.SaveCsv(dir_.File("films.csv"));
    importer_.SaveXml(dir_.File("films.xml"));
    EXPECT_EQ(ReadFileBytes(dir_.File("films.csv")),
              std::string(CsvHeaderRow) + "\r\nSecond ~1~~~~2.0/10~\r\n");
    // Of the first film only its title remains, as the scanned text of the second.
    LineList xml;
    xml.LoadFromFile(dir_.File("films.xml"));
    std::vector<std::string> mentioning_first;
    for (const std::string& line : AllLines(xml)) {
        if (line.find("First") != std::string::npos || line.find("1901") != std::string::npos) {
            mentioning_first.push_back(line);
        }
    }
    EXPECT_THAT(mentioning_first, ElementsAre("  <Scanned_Data>First </Scanned_Data>"));
    EXPECT_EQ(xml[11], "<Movie_Title>Second </Movie_Title>");
    EXPECT_EQ(xml.Count(), 22);
}

TEST_F(ExportTest, SavingReplacesAnExistingFileAndCanRepeat) {
    const std::string path = dir_.File("out.csv");
    WriteFileBytes(path, std::string(5000, 'z'));
    importer_.SaveCsv(path);
    importer_.SaveCsv(path);
    importer_.SaveCsv(dir_.File("copy.csv"));
    EXPECT_EQ(ReadFileBytes(path), std::string(CsvHeaderRow) + "\r\n");
    EXPECT_EQ(ReadFileBytes(dir_.File("copy.csv")), ReadFileBytes(path));
    EXPECT_EQ(importer_.CsvLines.Count(), 1);
}

TEST_F(ExportTest, AFileThatCannotBeCreatedRaisesCannotCreateFile) {
    importer_.StartXmlDocument();
    const std::vector<std::string> xml_before = AllLines(importer_.XmlLines);
    for (const bool xml : {true, false}) {
        SaveAndExpectCreateError(xml, dir_.File("no-such-folder/film.out"));
        SaveAndExpectCreateError(xml, dir_.Path());  // a folder
        SaveAndExpectCreateError(xml, "");
    }
    EXPECT_EQ(AllLines(importer_.XmlLines), xml_before);
    EXPECT_THAT(AllLines(importer_.CsvLines), ElementsAre(std::string(CsvHeaderRow)));
}

TEST_F(ExportTest, ANameWithANulByteIsRefusedAndTouchesNoOtherFile) {
    const std::string name = dir_.File("film") + std::string("\0.xml", 5);
    for (const bool xml : {true, false}) {
        SaveAndExpectCreateError(xml, name);
    }
    EXPECT_FALSE(FileExists(dir_.File("film")));
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));
}

}  // namespace
}  // namespace korvid
