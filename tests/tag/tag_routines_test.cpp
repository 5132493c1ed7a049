// The routines between a movie file and the editor's six fields, on real files, with the
// plain in-memory fields and prompts that answer from a script.

#include "tag/tag_routines.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "common/errors.h"
#include "tests/support/case_name.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"
#include "tests/tag/tag_test_helpers.h"

namespace korvid {
namespace {

using test_support::MovieData;
using test_support::ReadFileBytes;
using test_support::ScriptedPrompts;
using test_support::TempDir;
using test_support::WriteFileBytes;

struct FieldValues {
    std::string title, director, imdb, year, comment;
    int genre_index;
    std::string genre_text;

    bool operator==(const FieldValues&) const = default;
};

std::ostream& operator<<(std::ostream& out, const FieldValues& v) {
    return out << "{" << v.title << "|" << v.director << "|" << v.imdb << "|" << v.year << "|"
               << v.comment << "|" << v.genre_index << "|" << v.genre_text << "}";
}

FieldValues ValuesOf(PlainTagFields& f) {
    return {f.title.Text(),   f.director.Text(),   f.imdb.Text(), f.year.Text(),
            f.comment.Text(), f.genre.ItemIndex(), f.genre.Text()};
}

void Fill(PlainTagFields& f, const FieldValues& v) {
    f.title.SetText(v.title);
    f.director.SetText(v.director);
    f.imdb.SetText(v.imdb);
    f.year.SetText(v.year);
    f.comment.SetText(v.comment);
    f.genre.SetItemIndex(v.genre_index);
    if (v.genre_index < 0) {
        f.genre.SetText(v.genre_text);
    }
}

const FieldValues NewFilm{
    "Alien", "Ridley Scott", "imdb.com/title/tt0078748/", "1979", "Sigourney Weaver .... Ripley",
    13,      "Horror"};

MovieTag OldTag(int genre) {
    return MovieTag::Render({"Old Title", "Old Director", "Old Comment", "old-id", "1950", genre});
}

// ---- The genre box ----

TEST(PlainGenreBox, SelectionAndTextFollowTheComboBoxRules) {
    PlainGenreBox box;
    EXPECT_EQ(box.ItemIndex(), -1);
    EXPECT_EQ(box.Text(), "");

    box.SetItemIndex(7);
    EXPECT_EQ(box.ItemIndex(), 7);
    EXPECT_EQ(box.Text(), "Drama");

    // Setting the text leaves the selection.
    box.SetText("255");
    EXPECT_EQ(box.ItemIndex(), 7);
    EXPECT_EQ(box.Text(), "255");

    // Setting the index it already has changes nothing, not even the text.
    box.SetItemIndex(7);
    EXPECT_EQ(box.Text(), "255");

    box.SetItemIndex(-1);
    EXPECT_EQ(box.ItemIndex(), -1);
    EXPECT_EQ(box.Text(), "");

    // -1 again while nothing is selected keeps a typed text.
    box.SetText("typed");
    box.SetItemIndex(-1);
    EXPECT_EQ(box.Text(), "typed");

    box.SetItemIndex(26);
    EXPECT_EQ(box.Text(), "Western");
    box.SetItemIndex(27);
    EXPECT_EQ(box.ItemIndex(), -1);
    EXPECT_EQ(box.Text(), "");
}

// ---- Building the record from the fields ----

TEST(BuildTag, TakesTheFiveTextsAndTheSelectedIndex) {
    PlainTagFields f;
    Fill(f, NewFilm);
    EXPECT_EQ(BuildTag(f.Fields()),
              MovieTag::Render({"Alien", "Ridley Scott", "Sigourney Weaver .... Ripley",
                                "imdb.com/title/tt0078748/", "1979", 13}));
}

TEST(BuildTag, TypedGenreThatSelectsNothingIsStoredAs255) {
    PlainTagFields f;
    f.genre.SetText("Drama");  // typed, not selected
    EXPECT_EQ(BuildTag(f.Fields()).GenreNumber(), 255);
    f.genre.SetItemIndex(4);
    f.genre.SetText("Horror");  // a genre name shown does not matter: the selection counts
    EXPECT_EQ(BuildTag(f.Fields()).GenreNumber(), 4);
    // A number beyond the list, as a file's tag shows it, is stored whatever is selected.
    for (const auto& [text, stored] :
         {std::pair{"27", 27}, {"200", 200}, {"255", 255}, {"26", 4}, {"0200", 4}, {"256", 4}}) {
        f.genre.SetText(text);
        EXPECT_EQ(BuildTag(f.Fields()).GenreNumber(), stored) << text;
    }
}

// ---- Filling the fields from a looked-up film ----

struct UrlCase {
    std::string url;
    std::string id;
};

void PrintTo(const UrlCase& c, std::ostream* out) {
    *out << '"' << c.url << '"';
}

class ImdbIdFromUrl : public ::testing::TestWithParam<UrlCase> {};

TEST_P(ImdbIdFromUrl, DropsTheFirstElevenCharactersAndKeepsAtMost29) {
    EXPECT_EQ(ImdbIdFromMovieUrl(GetParam().url), GetParam().id);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ImdbIdFromUrl,
    ::testing::Values(UrlCase{"", ""}, UrlCase{"http://www.", ""}, UrlCase{"http://www.i", "i"},
                      UrlCase{"http://www.imdb.com/title/tt0078748/", "imdb.com/title/tt0078748/"},
                      UrlCase{"http://127.0.0.1:8080/title/tt0078748/",
                              "0.0.1:8080/title/tt0078748/"},
                      UrlCase{"http://www.imdb.com/title/tt0078748/fullcredits/extra",
                              "imdb.com/title/tt0078748/full"}),
    test_support::PrintedCaseName{});

TEST(FillFieldsFromFilm, CopiesTheFilmAsTheEditorDoes) {
    PlainTagFields f;
    FillFieldsFromFilm({"Alien", "Ridley Scott", "Sigourney Weaver .... Ripley",
                        "http://www.imdb.com/title/tt0078748/", "1979", "sci-fi"},
                       f.Fields());
    EXPECT_EQ(ValuesOf(f), (FieldValues{"Alien", "Ridley Scott", "imdb.com/title/tt0078748/",
                                        "1979", "Sigourney Weaver .... Ripley", 20, "Sci-Fi"}));
}

TEST(FillFieldsFromFilm, NoFilmYetGivesEmptyFieldsAndNoGenre) {
    PlainTagFields f;
    Fill(f, NewFilm);
    FillFieldsFromFilm({}, f.Fields());
    EXPECT_EQ(ValuesOf(f), (FieldValues{"", "", "", "", "", -1, ""}));
    EXPECT_EQ(BuildTag(f.Fields()).View(), "TAG" + std::string(124, ' ') + "\xff");
}

TEST(FillFieldsFromFilm, UnknownGenreSelectsNothing) {
    PlainTagFields f;
    f.genre.SetItemIndex(3);
    FillFieldsFromFilm({"X", "", "", "", "", "Kung-Fu"}, f.Fields());
    EXPECT_EQ(f.genre.ItemIndex(), -1);
    EXPECT_EQ(f.genre.Text(), "");
}

// ---- Routines on files ----

class TagRoutinesTest : public ::testing::Test {
  protected:
    std::string MakeFile(const std::string& name, const std::string& bytes) {
        const std::string path = dir_.File(name);
        WriteFileBytes(path, bytes);
        return path;
    }
    std::string TaggedFile(const std::string& name, const MovieTag& tag) {
        return MakeFile(name, MovieData(2048) + std::string(tag.View()));
    }

    TempDir dir_;
    ScriptedPrompts prompts_;
    PlainTagFields fields_;
};

TEST_F(TagRoutinesTest, ConfirmOnUntaggedFileAsksNothingAndKeepsTheFields) {
    const std::string path = MakeFile("plain.avi", MovieData(1000));
    Fill(fields_, NewFilm);
    ConfirmReplaceTag(path, fields_.Fields(), prompts_);
    EXPECT_TRUE(prompts_.questions.empty());
    EXPECT_EQ(ValuesOf(fields_), NewFilm);
}

TEST_F(TagRoutinesTest, ConfirmOnEmptyFileDoesNothing) {
    const std::string path = MakeFile("empty.avi", "");
    Fill(fields_, NewFilm);
    ConfirmReplaceTag(path, fields_.Fields(), prompts_);
    EXPECT_TRUE(prompts_.questions.empty());
    EXPECT_EQ(ValuesOf(fields_), NewFilm);
}

TEST_F(TagRoutinesTest, ConfirmAnsweredOkKeepsTheNewFilmAndWritesNothing) {
    const std::string path = TaggedFile("tagged.avi", OldTag(5));
    const std::string before = ReadFileBytes(path);
    Fill(fields_, NewFilm);
    prompts_.answers.push_back(PromptAnswer::Ok);

    ConfirmReplaceTag(path, fields_.Fields(), prompts_);

    ASSERT_EQ(prompts_.questions.size(), 1u);
    EXPECT_EQ(prompts_.questions[0].caption, "Warning");
    EXPECT_EQ(prompts_.questions[0].text,
              "This Movie File Has an EKT Tag Attached\r\n"
              "Do You Wish to Replace it With This New Tag?");
    EXPECT_EQ(ValuesOf(fields_), NewFilm);
    // Closing the editor now writes nothing: the old tag stays.
    EXPECT_TRUE(test_support::SameBytes(ReadFileBytes(path), before));

    // Saving replaces the old tag with the new film.
    EXPECT_EQ(SaveTag(path, fields_.Fields()), TagPlacement::Replaced);
    const std::string after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_TRUE(test_support::SameBytes(after.substr(0, 2048), before.substr(0, 2048)));
    EXPECT_EQ(ReadLastTagBytes(path).Title(), "Alien");
}

TEST_F(TagRoutinesTest, ConfirmAnsweredCancelShowsTheOldTag) {
    const std::string path = TaggedFile("tagged.avi", OldTag(5));
    Fill(fields_, NewFilm);
    prompts_.answers.push_back(PromptAnswer::Cancel);

    ConfirmReplaceTag(path, fields_.Fields(), prompts_);

    EXPECT_EQ(prompts_.questions.size(), 1u);
    EXPECT_EQ(ValuesOf(fields_), (FieldValues{"Old Title", "Old Director", "old-id", "1950",
                                              "Old Comment", 5, "Crime"}));
}

TEST_F(TagRoutinesTest, CancelWithGenreAbove26ChangesOnlyTheGenreText) {
    const std::string path = TaggedFile("odd-genre.avi", OldTag(200));
    Fill(fields_, NewFilm);  // Horror selected by the caller
    prompts_.answers.push_back(PromptAnswer::Cancel);

    ConfirmReplaceTag(path, fields_.Fields(), prompts_);

    EXPECT_EQ(fields_.genre.Text(), "200");
    EXPECT_EQ(fields_.genre.ItemIndex(), 13);
    EXPECT_EQ(fields_.title.Text(), "Old Title");

    // Saving again keeps the file's number, not the genre left selected behind it.
    EXPECT_EQ(SaveTag(path, fields_.Fields()), TagPlacement::Replaced);
    EXPECT_EQ(ReadLastTagBytes(path).GenreNumber(), 200);
}

TEST_F(TagRoutinesTest, CancelThenSaveRewritesTheOldTagWithEdits) {
    const std::string path = TaggedFile("edit.avi", OldTag(27));
    const std::string before = ReadFileBytes(path);
    prompts_.answers.push_back(PromptAnswer::Cancel);
    ConfirmReplaceTag(path, fields_.Fields(), prompts_);  // nothing selected before
    EXPECT_EQ(fields_.genre.Text(), "27");
    EXPECT_EQ(fields_.genre.ItemIndex(), -1);

    fields_.year.SetText("1951");
    SaveTag(path, fields_.Fields());

    const std::string after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), before.size());
    // The genre byte stays the file's own 27.
    EXPECT_EQ(after.substr(after.size() - 128),
              MovieTag::Render({"Old Title", "Old Director", "Old Comment", "old-id", "1951", 27})
                  .View());
}

TEST_F(TagRoutinesTest, ConfirmOnMissingFileRaisesAndLeavesTheFields) {
    const std::string path = dir_.File("gone.avi");
    Fill(fields_, NewFilm);
    try {
        ConfirmReplaceTag(path, fields_.Fields(), prompts_);
        ADD_FAILURE() << "no error";
    } catch (const FileOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + path);
    }
    EXPECT_TRUE(prompts_.questions.empty());
    EXPECT_EQ(ValuesOf(fields_), NewFilm);
    EXPECT_FALSE(test_support::FileExists(path));
}

TEST_F(TagRoutinesTest, ReadIntoFieldsShowsTheTag) {
    const std::string path = TaggedFile("show.avi", OldTag(26));
    Fill(fields_, NewFilm);
    ReadTagIntoFields(path, fields_.Fields());
    EXPECT_EQ(ValuesOf(fields_), (FieldValues{"Old Title", "Old Director", "old-id", "1950",
                                              "Old Comment", 26, "Western"}));
    EXPECT_TRUE(prompts_.questions.empty());
}

TEST_F(TagRoutinesTest, ReadIntoFieldsOnEmptyFileShows32AsGenre) {
    const std::string path = MakeFile("empty.avi", "");
    Fill(fields_, NewFilm);
    ReadTagIntoFields(path, fields_.Fields());
    // 128 spaces: every text empty, genre byte 20 hex shown as its number.
    EXPECT_EQ(ValuesOf(fields_), (FieldValues{"", "", "", "", "", 13, "32"}));
}

TEST_F(TagRoutinesTest, ReadIntoFieldsOnMissingFileLeavesTheFields) {
    Fill(fields_, NewFilm);
    EXPECT_THROW(ReadTagIntoFields(dir_.File("none.avi"), fields_.Fields()), FileOpenError);
    EXPECT_EQ(ValuesOf(fields_), NewFilm);
}

TEST_F(TagRoutinesTest, ShowingAnUntaggedFileThenSavingAppendsItsTrimmedBytes) {
    // The last 128 bytes are plain text, not a tag; they show at the field positions.
    std::string tail = std::string(128, 'x');
    tail.replace(0, 3, "abc");
    tail.replace(3, 30, "   title text" + std::string(17, ' '));
    tail.replace(33, 30, std::string(30, '\n'));
    tail[127] = 2;
    const std::string path = MakeFile("untagged.avi", MovieData(700) + tail);
    const std::size_t size = ReadFileBytes(path).size();

    ReadTagIntoFields(path, fields_.Fields());
    EXPECT_EQ(fields_.title.Text(), "title text");
    EXPECT_EQ(fields_.director.Text(), "");
    EXPECT_EQ(fields_.comment.Text(), std::string(30, 'x'));
    EXPECT_EQ(fields_.genre.Text(), "Animation");

    EXPECT_EQ(SaveTag(path, fields_.Fields()), TagPlacement::Appended);
    const std::string after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), size + 128);
    EXPECT_EQ(after.substr(size - 128, 128), tail);
    const MovieTag written = ReadLastTagBytes(path);
    EXPECT_EQ(written.Title(), "title text");
    EXPECT_EQ(written.View().substr(3, 30), "title text" + std::string(20, ' '));
    EXPECT_EQ(written.GenreNumber(), 2);
}

TEST_F(TagRoutinesTest, LeadingSpacesAreStoredButTrimmedOnReading) {
    const std::string path = MakeFile("spaces.avi", MovieData(300));
    fields_.title.SetText("  Spaced  ");
    SaveTag(path, fields_.Fields());
    const std::string after = ReadFileBytes(path);
    EXPECT_EQ(after.substr(after.size() - 125, 10), "  Spaced  ");
    PlainTagFields shown;
    ReadTagIntoFields(path, shown.Fields());
    EXPECT_EQ(shown.title.Text(), "Spaced");
}

TEST_F(TagRoutinesTest, SaveErrorsPassThroughAndTouchNothing) {
    const std::string short_file = MakeFile("short.avi", "tiny");
    Fill(fields_, NewFilm);
    EXPECT_THROW(SaveTag(short_file, fields_.Fields()), IoError);
    EXPECT_EQ(ReadFileBytes(short_file), "tiny");
    EXPECT_THROW(SaveTag(dir_.File("absent.avi"), fields_.Fields()), IoError);
    EXPECT_FALSE(test_support::FileExists(dir_.File("absent.avi")));
}

}  // namespace
}  // namespace korvid
