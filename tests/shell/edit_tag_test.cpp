// The tag editor window on real movie files in temporary folders, driven through Qt Test's
// input simulation under the offscreen platform, with prompts that answer from a script.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/errors.h"
#include "shell/EditTagUnit.h"
#include "shell/application.h"
#include "tag/tag_routines.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ReadFileBytes;
using test_support::ScriptedPrompts;
using test_support::TempDir;
using test_support::WriteFileBytes;

// The editor with a modal showing that does not block: the window is shown, and the test
// presses its buttons afterwards.
class TestingEditTagForm : public TEditTagForm {
  public:
    using TEditTagForm::TEditTagForm;
    int shown = 0;

  protected:
    int ShowModal() override {
        ++shown;
        show();
        return 0;
    }
};

TApplication* App() {
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}

// The six fields as the window shows them.
struct Shown {
    std::string title, director, imdb, year, comment;
    int genre_index;
    std::string genre_text;
    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s) {
    return out << "{" << s.title << "|" << s.director << "|" << s.imdb << "|" << s.year << "|"
               << s.comment << "|" << s.genre_index << "|" << s.genre_text << "}";
}

Shown ShownBy(TEditTagForm& form) {
    const TagFields f = form.Fields();
    return {f.title.Text(),   f.director.Text(),   f.imdb.Text(), f.year.Text(),
            f.comment.Text(), f.genre.ItemIndex(), f.genre.Text()};
}

// Bytes that do not end in a tag.
std::string Movie(std::size_t size = 1000) {
    std::string data(size, 'm');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>('a' + i % 26);
    }
    return data;
}

std::string OldTagBytes(std::uint8_t genre) {
    MovieTag tag = MovieTag::Render(
        {"Old Title", "Old Director", "Old Comment", "old-id", "1950", static_cast<int>(genre)});
    return std::string(tag.View());
}

const FilmTagSource Alien{
    "Alien", "Ridley Scott", "Sigourney Weaver .... Ripley", "http://www.imdb.com/title/tt0078748/",
    "1979",  "horror"};

const Shown AlienShown{
    "Alien", "Ridley Scott", "imdb.com/title/tt0078748/", "1979", "Sigourney Weaver .... Ripley",
    13,      "Horror"};

void ReplaceText(QLineEdit* edit, const QString& text) {
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
}

class EditTagFormTest : public ::testing::Test {
  protected:
    void SetUp() override { App()->SetPrompts(&prompts_); }
    void TearDown() override { App()->SetPrompts(nullptr); }

    ScriptedPrompts prompts_;
    TestingEditTagForm form_{prompts_};
    TempDir dir_;
};

TEST_F(EditTagFormTest, LayoutPlacesTheComponentsUnderTheirNames) {
    EXPECT_EQ(form_.windowTitle(), "Edit EKT Tag");
    EXPECT_EQ(form_.size(), QSize(351, 314));
    EXPECT_EQ(form_.minimumSize(), form_.maximumSize());

    struct Place {
        const char* name;
        const char* parent;
        QRect geometry;
    };
    const Place places[] = {
        {"Panel1", "EditTagForm", {0, 273, 351, 41}},
        {"Button1", "Panel1", {184, 8, 75, 25}},
        {"Button2", "Panel1", {266, 8, 75, 25}},
        {"GroupBox1", "EditTagForm", {11, 78, 329, 180}},
        {"Label5", "GroupBox1", {8, 118, 57, 13}},
        {"edGenre", "GroupBox1", {60, 111, 251, 21}},
        {"edComment", "GroupBox1", {60, 136, 250, 21}},
        {"Panel2", "EditTagForm", {0, 0, 351, 65}},
        {"Image2", "Panel2", {16, -4, 105, 68}},

    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        auto* widget = form_.findChild<QWidget*>(QString::fromLatin1(place.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(place.parent));
        EXPECT_EQ(widget->geometry(), place.geometry);
    }

    EXPECT_EQ(form_.Button1->text(), "&Save");
    EXPECT_TRUE(form_.Button1->isDefault());
    EXPECT_EQ(form_.Button2->text(), "&Close");
    EXPECT_EQ(form_.GroupBox1->title(), "EKT Movie Tag information:");
    EXPECT_EQ(form_.Label7->text(), "EKT Movie Tag Ver 2006");
    // The banner caption may run wider than 202 with a stand-in font, never narrower.
    EXPECT_EQ(form_.Label7->pos(), QPoint(127, 16));
    EXPECT_EQ(form_.Label7->height(), 24);
    EXPECT_GE(form_.Label7->width(), 202);
    EXPECT_LE(form_.Label7->geometry().right(), form_.Panel2->width());
    for (const QLabel* label : form_.findChildren<QLabel*>()) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
            << label->objectName().toStdString() << " is clipped";
    }

    ASSERT_EQ(form_.edGenre->count(), 27);
    for (int i = 0; i < 27; ++i) {
        EXPECT_EQ(form_.edGenre->itemText(i).toStdString(), GenreNames[static_cast<size_t>(i)]);
    }
    EXPECT_TRUE(form_.edGenre->isEditable());
    EXPECT_EQ(form_.edGenre->insertPolicy(), QComboBox::NoInsert);
    EXPECT_EQ(ShownBy(form_), (Shown{"", "", "", "", "", -1, ""}));
}

TEST_F(EditTagFormTest, TabRunsSaveCloseThenTheFieldsWithGenreLast) {
    form_.show();
    form_.Button1->setFocus();
    const std::vector<QWidget*> order = {form_.Button1,    form_.Button2, form_.edTitle,
                                         form_.edDirector, form_.edIMDB,  form_.edYear,
                                         form_.edComment,  form_.edGenre, form_.Button1};
    for (QWidget* expected : order) {
        QWidget* focus = form_.focusWidget();
        ASSERT_NE(focus, nullptr);
        // The genre box's own line edit holds the focus for the box.
        EXPECT_TRUE(focus == expected || focus->parentWidget() == expected)
            << "expected " << expected->objectName().toStdString() << ", focus on "
            << focus->objectName().toStdString();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
}

TEST_F(EditTagFormTest, GenreBoxFollowsTheRoutinesRules) {
    struct Case {
        const char* name;
        std::function<void(TagGenreBox&)> steps;
        int index;
        std::string text;
    };
    const Case cases[] = {
        {"selecting shows the name", [](TagGenreBox& g) { g.SetItemIndex(20); }, 20, "Sci-Fi"},
        {"the same index changes nothing",
         [](TagGenreBox& g) {
             g.SetItemIndex(7);
             g.SetText("27");
             g.SetItemIndex(7);
         },
         7, "27"},
        {"-1 removes the selection and empties the text",
         [](TagGenreBox& g) {
             g.SetItemIndex(7);
             g.SetItemIndex(-1);
         },
         -1, ""},
        {"-1 when nothing is selected keeps the text",
         [](TagGenreBox& g) {
             g.SetText("255");
             g.SetItemIndex(-1);
         },
         -1, "255"},
        {"setting the text keeps the selection",
         [](TagGenreBox& g) {
             g.SetItemIndex(3);
             g.SetText("Western");
         },
         3, "Western"},
        {"an index past the list selects nothing",
         [](TagGenreBox& g) {
             g.SetItemIndex(4);
             g.SetItemIndex(27);
         },
         -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestingEditTagForm form(prompts_);
        c.steps(form.Fields().genre);
        EXPECT_EQ(form.Fields().genre.ItemIndex(), c.index);
        EXPECT_EQ(form.Fields().genre.Text(), c.text);
        EXPECT_EQ(form.edGenre->currentText().toStdString(), c.text);
    }
}

TEST_F(EditTagFormTest, TypedGenreSelectsTheItemItNamesIgnoringCase) {
    struct Case {
        int before;
        const char* typed;
        int index;
    };
    const Case cases[] = {
        {7, "sci-fi", 20}, {-1, "WESTERN", 26}, {7, "xyz", -1}, {20, "Sci", -1}, {4, "comedy", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        TestingEditTagForm form(prompts_);
        form.show();
        form.Fields().genre.SetItemIndex(c.before);
        ReplaceText(form.edGenre->lineEdit(), QString::fromLatin1(c.typed));
        EXPECT_EQ(form.edGenre->currentIndex(), c.index);
        EXPECT_EQ(form.edGenre->currentText(), QString::fromLatin1(c.typed));
        EXPECT_EQ(form.edGenre->count(), 27);
    }
}

TEST_F(EditTagFormTest, UntaggedFileOpensWithTheFilmAndSaveAppendsTheTag) {
    const std::string path = dir_.File("alien.avi");
    const std::string movie = Movie();
    WriteFileBytes(path, movie);
    FillFieldsFromFilm(Alien, form_.Fields());

    form_.EditTagForFile(path);
    EXPECT_TRUE(prompts_.questions.empty());
    EXPECT_EQ(form_.shown, 1);
    EXPECT_EQ(form_.MovieFileName, path);
    EXPECT_EQ(ShownBy(form_), AlienShown);

    QTest::mouseClick(form_.Button1, Qt::LeftButton);
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(form_.result(), QDialog::Accepted);
    EXPECT_TRUE(prompts_.errors.empty());
    const std::string bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), movie.size() + 128);
    EXPECT_EQ(bytes.substr(0, movie.size()), movie);
    const MovieTag tag = ReadLastTagBytes(path);
    EXPECT_EQ(tag.Title(), "Alien");
    EXPECT_EQ(tag.Imdb(), "imdb.com/title/tt0078748/");
    EXPECT_EQ(tag.Comment(), "Sigourney Weaver .... Ripley");
    EXPECT_EQ(tag.GenreNumber(), 13);
}

TEST_F(EditTagFormTest, TaggedFileAnsweredOkKeepsTheFilmAndCloseWritesNothing) {
    const std::string path = dir_.File("old.mpg");
    const std::string before = Movie() + OldTagBytes(4);
    WriteFileBytes(path, before);
    FillFieldsFromFilm(Alien, form_.Fields());
    prompts_.answers = {PromptAnswer::Ok};

    form_.EditTagForFile(path);
    ASSERT_EQ(prompts_.questions.size(), 1u);
    EXPECT_EQ(prompts_.questions[0].caption, "Warning");
    EXPECT_EQ(prompts_.questions[0].text, ReplaceTagText);
    EXPECT_EQ(ShownBy(form_), AlienShown);
    EXPECT_TRUE(form_.isVisible());

    QTest::mouseClick(form_.Button2, Qt::LeftButton);
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(form_.result(), QDialog::Rejected);
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(EditTagFormTest, TaggedFileAnsweredCancelShowsTheOldTagAndSaveRewritesIt) {
    const std::string path = dir_.File("old.mpg");
    const std::string movie = Movie();
    // Genre 30 is not in the list: the box shows "30" and keeps the caller's selection.
    WriteFileBytes(path, movie + OldTagBytes(30));
    FillFieldsFromFilm(Alien, form_.Fields());
    prompts_.answers = {PromptAnswer::Cancel};

    form_.EditTagForFile(path);
    EXPECT_EQ(ShownBy(form_),
              (Shown{"Old Title", "Old Director", "old-id", "1950", "Old Comment", 13, "30"}));

    ReplaceText(form_.edTitle, "Edited");
    QTest::mouseClick(form_.Button1, Qt::LeftButton);
    const std::string bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), movie.size() + 128);
    const MovieTag tag = ReadLastTagBytes(path);
    EXPECT_EQ(tag.Title(), "Edited");
    EXPECT_EQ(tag.Director(), "Old Director");
    EXPECT_EQ(tag.GenreNumber(), 30) << "the genre shown, not the one selected before";

    // Typing a genre's name (in any letter case) is what changes the number.
    for (const auto& [pick, stored] : {std::pair{QString("Drama"), 7}, {QString("war"), 25}}) {
        form_.EditTagForFile(path);
        form_.edGenre->lineEdit()->selectAll();
        QTest::keyClicks(form_.edGenre->lineEdit(), pick);
        QTest::mouseClick(form_.Button1, Qt::LeftButton);
        EXPECT_EQ(ReadLastTagBytes(path).GenreNumber(), stored) << pick.toStdString();
    }
}

TEST_F(EditTagFormTest, ShowTagShowsTheBytesLiterallyAndSavesThemBackAsLatin1) {
    const std::string path = dir_.File("show.avi");
    MovieTag tag = MovieTag::Render({"<b>x</b>", "Caf\xE9", "", "tt1", "2001", 19});
    WriteFileBytes(path, Movie() + std::string(tag.View()));

    form_.ShowTagOfFile(path);
    EXPECT_EQ(form_.shown, 1);
    EXPECT_TRUE(prompts_.questions.empty());
    EXPECT_EQ(ShownBy(form_), (Shown{"<b>x</b>", "Caf\xE9", "tt1", "2001", "", 19, "Romance"}));
    EXPECT_EQ(form_.edTitle->text(), "<b>x</b>");
    EXPECT_EQ(form_.edDirector->text(), QString::fromUtf8("Caf\u00e9"));

    // A typed character outside Latin-1 is stored as "?".
    QTest::keyClicks(form_.edComment, "5 ");
    QTest::sendKeyEvent(QTest::Click, form_.edComment, Qt::Key_unknown, QString::fromUtf8("\u20ac"),
                        Qt::NoModifier);
    QTest::mouseClick(form_.Button1, Qt::LeftButton);
    const MovieTag saved = ReadLastTagBytes(path);
    EXPECT_EQ(saved.Director(), "Caf\xE9");
    EXPECT_EQ(saved.Comment(), "5 ?");
    EXPECT_EQ(saved.Title(), "<b>x</b>");
}

TEST_F(EditTagFormTest, FileThatCannotBeOpenedRaisesAndShowsNothing) {
    const std::string path = dir_.File("missing.avi");
    FillFieldsFromFilm(Alien, form_.Fields());
    for (const bool edit : {true, false}) {
        SCOPED_TRACE(edit ? "EditTagForFile" : "ShowTagOfFile");
        try {
            edit ? form_.EditTagForFile(path) : form_.ShowTagOfFile(path);
            ADD_FAILURE() << "no error";
        } catch (const FileOpenError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot open file " + path);
        }
        EXPECT_EQ(form_.shown, 0);
        EXPECT_EQ(form_.MovieFileName, path);
        EXPECT_EQ(ShownBy(form_), AlienShown);
    }
    EXPECT_FALSE(test_support::FileExists(path));
}

TEST_F(EditTagFormTest, EnterInEveryTextBoxSavesAndEscapeDoesNotClose) {
    const std::string path = dir_.File("keys.avi");
    const std::string movie = Movie();
    WriteFileBytes(path, movie);
    form_.EditTagForFile(path);

    // Escape, in a box or on the window, leaves the window open; the close box closes it.
    QTest::keyClick(form_.edYear, Qt::Key_Escape);
    QTest::keyClick(form_.edGenre->lineEdit(), Qt::Key_Escape);
    QTest::keyClick(&form_, Qt::Key_Escape);
    EXPECT_TRUE(form_.isVisible());
    form_.close();
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(form_.result(), QDialog::Rejected);
    EXPECT_EQ(ReadFileBytes(path), movie);

    QLineEdit* const boxes[] = {form_.edTitle, form_.edDirector, form_.edIMDB, form_.edYear,
                                form_.edComment};
    for (QLineEdit* box : boxes) {
        SCOPED_TRACE(box->objectName().toStdString());
        form_.EditTagForFile(path);
        ReplaceText(box, box->objectName().left(4));
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_FALSE(form_.isVisible());
        EXPECT_EQ(form_.result(), QDialog::Accepted);
        EXPECT_EQ(ReadFileBytes(path).size(), movie.size() + 128);
    }
    const MovieTag tag = ReadLastTagBytes(path);
    EXPECT_EQ(tag.Title(), "edTi");
    EXPECT_EQ(tag.Year(), "edYe");
    EXPECT_EQ(tag.Comment(), "edCo");
}

TEST_F(EditTagFormTest, ModalShowingEndsOnlyWithSaveOrClose) {
    const std::string path = dir_.File("modal.avi");
    const std::string movie = Movie();
    WriteFileBytes(path, movie);
    TEditTagForm form(prompts_);
    bool visible_after_escape = false;
    QTimer::singleShot(0, &form, [&] {
        QTest::keyClick(form.edTitle, Qt::Key_Escape);
        visible_after_escape = form.isVisible();
        QTest::mouseClick(form.Button2, Qt::LeftButton);
    });
    form.EditTagForFile(path);
    EXPECT_TRUE(visible_after_escape);
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(ReadFileBytes(path), movie);

    QTimer::singleShot(0, &form, [&] { QTest::mouseClick(form.Button1, Qt::LeftButton); });
    form.EditTagForFile(path);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(ReadFileBytes(path).size(), movie.size() + 128);
}

TEST_F(EditTagFormTest, FailedSaveKeepsTheEditsAndTheWindowOpenForARetry) {
    const std::string folder = dir_.File("gone");
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/movie.avi";
    const std::string movie = Movie();
    WriteFileBytes(path, movie);
    form_.EditTagForFile(path);
    ReplaceText(form_.edTitle, "Kept");
    form_.Fields().genre.SetItemIndex(6);

    std::filesystem::remove_all(folder);
    QTest::mouseClick(form_.Button1, Qt::LeftButton);
    EXPECT_EQ(prompts_.errors, std::vector<std::string>{"File not found"});
    EXPECT_TRUE(form_.isVisible());
    EXPECT_EQ(form_.edTitle->text(), "Kept");
    EXPECT_EQ(form_.edGenre->currentIndex(), 6);
    EXPECT_FALSE(test_support::FileExists(path));

    // The user puts the file back and saves again.
    std::filesystem::create_directory(folder);
    WriteFileBytes(path, movie);
    QTest::mouseClick(form_.Button1, Qt::LeftButton);
    EXPECT_EQ(prompts_.errors.size(), 1u);
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(ReadLastTagBytes(path).Title(), "Kept");
    EXPECT_EQ(ReadLastTagBytes(path).GenreNumber(), 6);
}

// A movie file too short to hold a tag: the error box says why in words below its code.
TEST_F(EditTagFormTest, SaveToAFileShorterThanATagSaysWhy) {
    const std::string path = dir_.File("short.avi");
    WriteFileBytes(path, "ten bytes!");
    form_.EditTagForFile(path);
    QTest::mouseClick(form_.Button1, Qt::LeftButton);
    EXPECT_EQ(
        prompts_.errors,
        std::vector<std::string>{
            "I/O error 22\nThe file is 10 bytes long, too short to hold a tag of 128 bytes."});
    EXPECT_EQ(ReadFileBytes(path), "ten bytes!");
}

TEST_F(EditTagFormTest, SaveToAReadOnlyFileFailsUntilItIsWritable) {
    const std::string path = dir_.File("readonly.avi");
    const std::string movie = Movie();
    WriteFileBytes(path, movie);
    // As root the editor runs as user 65534, who owns the file and may make it writable.
    if (test_support::RunningAsRoot()) {
        ASSERT_EQ(::chmod(dir_.Path().c_str(), 0755), 0);
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);

    const int result = test_support::RunUnprivileged([&] {
        form_.EditTagForFile(path);
        ReplaceText(form_.edTitle, "Retry");
        QTest::mouseClick(form_.Button1, Qt::LeftButton);
        if (prompts_.errors != std::vector<std::string>{"File access denied"}) {
            return 1;
        }
        if (!form_.isVisible() || form_.edTitle->text() != "Retry") {
            return 2;
        }
        if (ReadFileBytes(path) != movie) {
            return 3;
        }
        if (::chmod(path.c_str(), 0644) != 0) {
            return 4;
        }
        QTest::mouseClick(form_.Button1, Qt::LeftButton);
        return prompts_.errors.size() == 1 && !form_.isVisible() ? 0 : 5;
    });
    EXPECT_EQ(result, 0) << "1: no error or another, 2: window closed or edits lost, "
                            "3: file changed, 4: chmod, 5: retry failed";
    EXPECT_EQ(ReadLastTagBytes(path).Title(), "Retry");
    EXPECT_EQ(ReadFileBytes(path).size(), movie.size() + 128);
}

}  // namespace
}  // namespace korvid
