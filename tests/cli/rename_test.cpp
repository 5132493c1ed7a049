// The pieces of scan --rename: the rename that never replaces (also where a file system
// refuses RENAME_NOREPLACE), the files that go with a movie file, and the journal, whose
// names read back byte for byte.

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

// A shared drive that does not take the flag, and one with no hard links either.
int RefuseFlag(const char*, const char*) {
    errno = EINVAL;
    return -1;
}
int RefuseLink(const char*, const char*) {
    errno = EPERM;
    return -1;
}
const RenameCalls NoFlag{RefuseFlag, ::link, ::unlink};
const RenameCalls NoFlagNoLinks{RefuseFlag, RefuseLink, ::unlink};

TEST(RenameWithoutReplacing, RenamesOnlyToAFreeName) {
    struct Case {
        const char* name;
        const RenameCalls* calls;
        bool taken;
        std::string refused;  // empty: renamed
    };
    const std::vector<Case> cases = {
        {"flag, free", &SystemRenameCalls(), false, ""},
        {"flag, taken", &SystemRenameCalls(), true, "the name is taken"},
        {"hard link, free", &NoFlag, false, ""},
        {"hard link, taken", &NoFlag, true, "the name is taken"},
        {"neither", &NoFlagNoLinks, false,
         "the file system cannot rename without the risk of replacing a file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFileBytes(dir.File("old"), "film");
        if (c.taken) {
            WriteFileBytes(dir.File("new"), "in the way");
        }
        const RenameOutcome outcome =
            RenameWithoutReplacing(dir.File("old"), dir.File("new"), *c.calls);
        EXPECT_EQ(outcome.Renamed(), c.refused.empty());
        if (!c.refused.empty()) {
            EXPECT_EQ(RenameFailureText(outcome), c.refused);
        }
        EXPECT_EQ(FileExists(dir.File("old")), !c.refused.empty());
        const std::string now = FileExists(dir.File("new")) ? ReadFileBytes(dir.File("new")) : "";
        EXPECT_EQ(now, c.refused.empty() ? "film" : c.taken ? "in the way" : "");
    }
}

// Where no rename is safe a new NFO file is still written at its name, with no temporary
// file left beside it.
TEST(WriteNfoBeside, WritesInPlaceWhereNoRenameIsSafe) {
    TempDir dir;
    WriteFileBytes(dir.File("Film.mkv"), "x");
    const NfoStep step =
        WriteNfoBeside(dir.File("Film.mkv"), "<movie/>", false, false, NoFlagNoLinks);
    EXPECT_EQ(step.action, NfoAction::Written) << step.message;
    EXPECT_EQ(ReadFileBytes(dir.File("Film.nfo")), "<movie/>");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

// A side file begins with its movie's name and a dot or a dash; it is never a movie file, and
// goes with the longest movie name it begins with.
TEST(SideFiles, GoWithTheMovieFileTheirNameBeginsWith) {
    TempDir dir;
    for (const char* name :
         {"Film.mkv", "Film.srt", "Film.en.srt", "Film-poster.jpg", "Film.nfo", "Filmography.txt",
          "Film", "Film .srt", "film.srt", "Other.srt", "Film-2.MP4", "Film.Extended.mkv",
          "Film.Extended.srt", "Film.Extended-x.jpg"}) {
        WriteFileBytes(dir.File(name), "x");
    }
    const auto names = [&](const std::string& movie) {
        std::vector<std::string> names;
        for (const std::string& path : SideFiles(dir.File(movie))) {
            names.push_back(std::filesystem::path(path).filename().string());
        }
        return names;
    };
    EXPECT_EQ(names("Film.mkv"),
              (std::vector<std::string>{"Film-poster.jpg", "Film.en.srt", "Film.nfo", "Film.srt"}));
    EXPECT_EQ(names("Film.Extended.mkv"),
              (std::vector<std::string>{"Film.Extended-x.jpg", "Film.Extended.srt"}));
}

class JournalTest : public ::testing::Test {
  protected:
    std::string Folder() const { return state_.Dir() + "korvid/renames/"; }
    std::string Rename(const std::string& name, const NameFields& fields, FileReport& report) {
        RenameSettings settings;
        settings.journal_folder = Folder();
        ScanRenamer renamer(settings);
        const std::string now = renamer.Rename(films_.File(name), fields, report);
        journal_ = renamer.JournalPath();
        return now;
    }

    TempDir state_;
    TempDir films_;
    std::string journal_;
};

TEST_F(JournalTest, FolderFollowsXdgStateHomeAndIgnoresARelativeOne) {
    {
        const ScopedEnv state("XDG_STATE_HOME", state_.Path());
        EXPECT_EQ(RenameJournalFolder(), Folder());
    }
    const ScopedEnv home("HOME", "/home/someone");
    for (const char* value : {"relative/state", ""}) {
        SCOPED_TRACE(value);
        const ScopedEnv state("XDG_STATE_HOME", std::string(value));
        EXPECT_EQ(RenameJournalFolder(), "/home/someone/.local/state/korvid/renames/");
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
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(contents.entries[i].old_path, films_.File(names[i]));
        EXPECT_EQ(contents.entries[i].new_path, films_.File("new " + names[i]));
        EXPECT_EQ(contents.entries[i].made, i + 1 < names.size());
    }
    struct stat info {};
    ASSERT_EQ(::stat(Folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "the state folder is the user's alone";
}

// A journal cut short by a crash still reads; a file that is no journal is refused.
TEST_F(JournalTest, ALastLineCutShortIsLeftOutAndAnythingElseRefused) {
    RenameJournal journal(Folder());
    journal.Record(films_.File("a.mkv"), films_.File("b.mkv"), 1, 2);
    WriteFileBytes(journal.Path(),
                   ReadFileBytes(journal.Path()) + "{\"rename\": 1, \"old\": \"/fi");
    EXPECT_EQ(ReadRenameJournal(journal.Path()).entries.size(), 1u);

    const std::string path = films_.File("renames-x.jsonl");
    for (const std::string text :
         {"", "hello\n", "{\"journal\": \"other\"}\n",
          "{\"journal\": \"korvid renames\"}\nnot json\n{}\n",
          "{\"journal\": \"korvid renames\"}\n{\"rename\": 0, \"old\": \"relative\", \"new\": "
          "\"/b\", \"device\": 1, \"inode\": 2}\n"}) {
        SCOPED_TRACE(text);
        WriteFileBytes(path, text);
        EXPECT_THROW(ReadRenameJournal(path), std::runtime_error);
    }
    for (const char* text : {"a\\", "\\x4", "\\xZZ", "\\n", "\\x41"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(FileNameFromJson(text), std::nullopt);
    }
}

TEST_F(JournalTest, TheNewestJournalNotUndoneIsTheDefault) {
    EXPECT_EQ(NewestRenameJournal(Folder()), std::nullopt);
    const std::string older = RenameJournal(Folder()).Path();
    const std::string newer = RenameJournal(Folder()).Path();
    EXPECT_EQ(NewestRenameJournal(Folder()), newer);
    MarkJournalUndone(newer);
    EXPECT_EQ(NewestRenameJournal(Folder()), older);
}

TEST_F(JournalTest, EachRenameIsInTheJournalAndNoneGoesOverAFile) {
    for (const char* name :
         {"Amelie.2001.mkv", "Amelie.2001.srt", "Amelie.2001.en.srt", "Amélie (2001).en.srt"}) {
        WriteFileBytes(films_.File(name), name);
    }
    FileReport report;
    EXPECT_EQ(Rename("Amelie.2001.mkv", {"Amélie", "2001", "tt0211915"}, report),
              films_.File("Amélie (2001).mkv"));
    ASSERT_EQ(report.renames.size(), 3u);
    EXPECT_EQ(report.renames[1].to, films_.File("Amélie (2001).en.srt"));
    EXPECT_EQ(report.renames[1].refused, "the name is taken");
    EXPECT_EQ(ReadFileBytes(films_.File("Amélie (2001).en.srt")), "Amélie (2001).en.srt");
    EXPECT_EQ(ReadFileBytes(films_.File("Amelie.2001.en.srt")), "Amelie.2001.en.srt");
    EXPECT_EQ(ReadFileBytes(films_.File("Amélie (2001).srt")), "Amelie.2001.srt");

    const JournalContents journal = ReadRenameJournal(journal_);
    ASSERT_EQ(journal.entries.size(), 2u) << "a name known to be taken is not tried";
    EXPECT_EQ(journal.entries[0].old_path, films_.File("Amelie.2001.mkv"));
    EXPECT_EQ(journal.entries[1].new_path, films_.File("Amélie (2001).srt"));
}

TEST_F(JournalTest, NoRenameWithoutAJournal) {
    WriteFileBytes(films_.File("Amelie.2001.mkv"), "x");
    WriteFileBytes(state_.File("korvid"), "a file where the folder would be");
    FileReport report;
    Rename("Amelie.2001.mkv", {"Amélie", "2001", ""}, report);
    ASSERT_EQ(report.renames.size(), 1u);
    EXPECT_FALSE(report.renames[0].done);
    EXPECT_TRUE(report.renames[0].refused.starts_with("no rename without its journal: "))
        << report.renames[0].refused;
    EXPECT_TRUE(FileExists(films_.File("Amelie.2001.mkv")));
}

}  // namespace
}  // namespace korvid::cli
