// The pieces of scan --rename: the rename that never replaces (also where a file system
// refuses RENAME_NOREPLACE), the files that go with a movie file, the journal and its names
// read back byte for byte.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "cli/rename_journal.h"
#include "cli/rename_safely.h"
#include "cli/scan_nfo.h"
#include "cli/scan_rename.h"
#include "cli/terminal_text.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace korvid::cli {
namespace {

using test_support::FileExists;
using test_support::ReadFileBytes;
using test_support::ScopedEnv;
using test_support::TempDir;
using test_support::WriteFileBytes;

// ---- Renaming without replacing ----

// A shared drive that does not take the flag.
int RefuseFlag(const char*, const char*) {
    errno = EINVAL;
    return -1;
}

// ... and has no hard links either.
int RefuseLink(const char*, const char*) {
    errno = EPERM;
    return -1;
}

int RealLink(const char* from, const char* to) {
    return ::link(from, to);
}

int RealUnlink(const char* path) {
    return ::unlink(path);
}

const RenameCalls NoFlag{RefuseFlag, RealLink, RealUnlink};
const RenameCalls NoFlagNoLinks{RefuseFlag, RefuseLink, RealUnlink};

struct RenameCase {
    std::string name;
    const RenameCalls* calls;
};

class RenameWithoutReplacingTest : public ::testing::TestWithParam<RenameCase> {
  protected:
    TempDir dir_;
};

TEST_P(RenameWithoutReplacingTest, RenamesToAFreeName) {
    WriteFileBytes(dir_.File("old"), "film");
    const RenameOutcome outcome =
        RenameWithoutReplacing(dir_.File("old"), dir_.File("new"), *GetParam().calls);
    ASSERT_TRUE(outcome.Renamed()) << RenameFailureText(outcome);
    EXPECT_FALSE(FileExists(dir_.File("old")));
    EXPECT_EQ(ReadFileBytes(dir_.File("new")), "film");
}

TEST_P(RenameWithoutReplacingTest, NeverReplacesAFileInTheWay) {
    WriteFileBytes(dir_.File("old"), "film");
    WriteFileBytes(dir_.File("new"), "in the way");
    const RenameOutcome outcome =
        RenameWithoutReplacing(dir_.File("old"), dir_.File("new"), *GetParam().calls);
    EXPECT_FALSE(outcome.Renamed());
    EXPECT_EQ(RenameFailureText(outcome), "the name is taken");
    EXPECT_EQ(ReadFileBytes(dir_.File("old")), "film");
    EXPECT_EQ(ReadFileBytes(dir_.File("new")), "in the way");
}

INSTANTIATE_TEST_SUITE_P(FileSystems, RenameWithoutReplacingTest,
                         ::testing::Values(RenameCase{"Flag", &SystemRenameCalls()},
                                           RenameCase{"HardLinkWithoutTheFlag", &NoFlag}),
                         [](const auto& info) { return info.param.name; });

TEST(RenameWithoutReplacing, RefusesWhereNeitherTheFlagNorLinksWork) {
    TempDir dir;
    WriteFileBytes(dir.File("old"), "film");
    const RenameOutcome outcome =
        RenameWithoutReplacing(dir.File("old"), dir.File("new"), NoFlagNoLinks);
    EXPECT_TRUE(outcome.no_safe_way);
    EXPECT_EQ(RenameFailureText(outcome),
              "the file system cannot rename without the risk of replacing a file");
    EXPECT_EQ(ReadFileBytes(dir.File("old")), "film");
    EXPECT_FALSE(FileExists(dir.File("new")));
}

// A new NFO file is still written where the file system renames only by replacing: at its
// name, never over a file, and no temporary file is left.
TEST(WriteNfoBeside, WritesInPlaceWhereNoRenameIsSafe) {
    TempDir dir;
    WriteFileBytes(dir.File("Film.mkv"), "x");
    const NfoStep step =
        WriteNfoBeside(dir.File("Film.mkv"), "<movie/>", false, false, NoFlagNoLinks);
    EXPECT_EQ(step.action, NfoAction::Written) << step.message;
    EXPECT_EQ(ReadFileBytes(dir.File("Film.nfo")), "<movie/>");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              2);
}

// ---- The files that go with a movie file ----

std::vector<std::string> Names(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    for (const std::string& path : paths) {
        names.push_back(std::filesystem::path(path).filename().string());
    }
    return names;
}

TEST(SideFiles, BeginWithTheMovieNameAndADotOrADash) {
    TempDir dir;
    for (const char* name : {"Film.mkv", "Film.srt", "Film.en.srt", "Film-poster.jpg", "Film.nfo",
                             "Filmography.txt", "Film", "Film .srt", "film.srt", "Other.srt"}) {
        WriteFileBytes(dir.File(name), "x");
    }
    std::filesystem::create_directory(dir.File("Film.extras"));
    EXPECT_EQ(Names(SideFiles(dir.File("Film.mkv"))),
              (std::vector<std::string>{"Film-poster.jpg", "Film.en.srt", "Film.nfo", "Film.srt"}));
}

TEST(SideFiles, AMovieFileIsNeverASideFile) {
    TempDir dir;
    for (const char* name : {"Film.mkv", "Film.avi", "Film-2.MP4", "Film.srt"}) {
        WriteFileBytes(dir.File(name), "x");
    }
    EXPECT_EQ(Names(SideFiles(dir.File("Film.mkv"))), std::vector<std::string>{"Film.srt"});
}

TEST(SideFiles, GoWithTheLongestMovieName) {
    TempDir dir;
    for (const char* name : {"Film.mkv", "Film.Extended.mkv", "Film.srt", "Film.Extended.srt",
                             "Film.Extended-x.jpg"}) {
        WriteFileBytes(dir.File(name), "x");
    }
    EXPECT_EQ(Names(SideFiles(dir.File("Film.mkv"))), std::vector<std::string>{"Film.srt"});
    EXPECT_EQ(Names(SideFiles(dir.File("Film.Extended.mkv"))),
              (std::vector<std::string>{"Film.Extended-x.jpg", "Film.Extended.srt"}));
}

// ---- The journal ----

class JournalTest : public ::testing::Test {
  protected:
    std::string Folder() const { return state_.Dir() + "korvid/renames/"; }

    TempDir state_;
    TempDir films_;
};

TEST_F(JournalTest, FolderFollowsXdgStateHomeAndIgnoresARelativeOne) {
    {
        const ScopedEnv state("XDG_STATE_HOME", state_.Path());
        EXPECT_EQ(RenameJournalFolder(), Folder());
    }
    const ScopedEnv home("HOME", "/home/someone");
    for (const char* value : {"relative/state", ""}) {
        const ScopedEnv state("XDG_STATE_HOME", std::string(value));
        EXPECT_EQ(RenameJournalFolder(), "/home/someone/.local/state/korvid/renames/") << value;
    }
}

// Names of any bytes come back exactly: not UTF-8, backslashes, line breaks, quotes.
TEST_F(JournalTest, NamesOfAnyBytesReadBack) {
    const std::vector<std::string> names = {"Amélie (2001).mkv", "Bad\xFF\xFEUtf8.mkv",
                                            "back\\slash \\x41.avi", "line\nbreak \"q\".mp4"};
    RenameJournal journal(Folder());
    for (const std::string& name : names) {
        journal.Record(films_.File(name), films_.File("new " + name), 7, 42);
    }
    journal.NotMade();
    const JournalContents contents = ReadRenameJournal(journal.Path());
    ASSERT_EQ(contents.entries.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(contents.entries[i].old_path, films_.File(names[i]));
        EXPECT_EQ(contents.entries[i].new_path, films_.File("new " + names[i]));
        EXPECT_EQ(contents.entries[i].inode, 42u);
        EXPECT_EQ(contents.entries[i].made, i + 1 < names.size());
    }
    EXPECT_FALSE(contents.undone);
    struct stat info {};
    ASSERT_EQ(::stat(Folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "the state folder is the user's alone";
}

TEST_F(JournalTest, ALastLineCutShortIsLeftOut) {
    RenameJournal journal(Folder());
    journal.Record(films_.File("a.mkv"), films_.File("b.mkv"), 1, 2);
    const std::string path = journal.Path();
    WriteFileBytes(path, ReadFileBytes(path) + "{\"rename\": 1, \"old\": \"/fi");
    EXPECT_EQ(ReadRenameJournal(path).entries.size(), 1u);
}

TEST_F(JournalTest, AFileThatIsNoJournalIsRefused) {
    const std::string path = films_.File("renames-x.jsonl");
    for (const std::string text : {"", "hello\n", "{\"journal\": \"other\"}\n",
                                   "{\"journal\": \"korvid renames\"}\nnot json\n{}\n",
                                   "{\"journal\": \"korvid renames\"}\n{\"rename\": 0, \"old\": "
                                   "\"relative\", \"new\": \"/b\", "
                                   "\"device\": 1, \"inode\": 2}\n"}) {
        WriteFileBytes(path, text);
        EXPECT_THROW(ReadRenameJournal(path), std::runtime_error) << text;
    }
}

TEST_F(JournalTest, TheNewestJournalNotUndoneIsTheDefault) {
    EXPECT_EQ(NewestRenameJournal(Folder()), std::nullopt);
    const std::string older = RenameJournal(Folder()).Path();
    const std::string newer = RenameJournal(Folder()).Path();
    ASSERT_LT(older, newer) << "names sort as their times";
    EXPECT_EQ(NewestRenameJournal(Folder()), newer);
    MarkJournalUndone(newer);
    EXPECT_TRUE(ReadRenameJournal(newer).undone);
    EXPECT_EQ(NewestRenameJournal(Folder()), older);
}

// ---- A scan's renames ----

TEST_F(JournalTest, EachRenameIsInTheJournalAndNoneGoesOverAFile) {
    for (const char* name :
         {"Amelie.2001.mkv", "Amelie.2001.srt", "Amelie.2001.en.srt", "Amélie (2001).en.srt"}) {
        WriteFileBytes(films_.File(name), name);
    }
    RenameSettings settings;
    settings.journal_folder = Folder();
    ScanRenamer renamer(settings);
    FileReport report;
    const std::string now =
        renamer.Rename(films_.File("Amelie.2001.mkv"), {"Amélie", "2001", "tt0211915"}, report);
    EXPECT_EQ(now, films_.File("Amélie (2001).mkv"));
    ASSERT_EQ(report.renames.size(), 3u);
    EXPECT_TRUE(report.renames[0].done);
    EXPECT_EQ(report.renames[1].to, films_.File("Amélie (2001).en.srt"));
    EXPECT_EQ(report.renames[1].refused, "the name is taken");
    EXPECT_TRUE(report.renames[2].done);
    EXPECT_EQ(ReadFileBytes(films_.File("Amélie (2001).en.srt")), "Amélie (2001).en.srt");
    EXPECT_EQ(ReadFileBytes(films_.File("Amelie.2001.en.srt")), "Amelie.2001.en.srt");
    EXPECT_EQ(ReadFileBytes(films_.File("Amélie (2001).srt")), "Amelie.2001.srt");

    const JournalContents journal = ReadRenameJournal(renamer.JournalPath());
    ASSERT_EQ(journal.entries.size(), 2u) << "a name known to be taken is not tried";
    EXPECT_EQ(journal.entries[0].old_path, films_.File("Amelie.2001.mkv"));
    EXPECT_EQ(journal.entries[1].new_path, films_.File("Amélie (2001).srt"));
    struct stat info {};
    ASSERT_EQ(::stat(films_.File("Amélie (2001).mkv").c_str(), &info), 0);
    EXPECT_EQ(journal.entries[0].inode, info.st_ino);
}

TEST_F(JournalTest, NoRenameWithoutAJournal) {
    WriteFileBytes(films_.File("Amelie.2001.mkv"), "x");
    WriteFileBytes(state_.File("korvid"), "a file where the folder would be");
    RenameSettings settings;
    settings.journal_folder = Folder();
    ScanRenamer renamer(settings);
    FileReport report;
    renamer.Rename(films_.File("Amelie.2001.mkv"), {"Amélie", "2001", ""}, report);
    ASSERT_EQ(report.renames.size(), 1u);
    EXPECT_FALSE(report.renames[0].done);
    EXPECT_EQ(report.renames[0].refused.rfind("no rename without its journal: ", 0), 0u)
        << report.renames[0].refused;
    EXPECT_TRUE(FileExists(films_.File("Amelie.2001.mkv")));
    EXPECT_EQ(renamer.JournalPath(), "");
}

// ---- File names in JSON ----

TEST(FileNameFromJson, UndoesFileNameForJsonAndRefusesOtherForms) {
    for (const std::string& name :
         {std::string("plain"), std::string("Bad\xFF\xFE"), std::string("a\\b\\\\c"),
          std::string("\\x41"), std::string("\xC3")}) {
        EXPECT_EQ(FileNameFromJson(FileNameForJson(name)), name) << name;
    }
    for (const char* text : {"a\\", "\\x4", "\\xZZ", "\\n", "\\x41"}) {
        EXPECT_EQ(FileNameFromJson(text), std::nullopt) << text;
    }
}

}  // namespace
}  // namespace korvid::cli
