// The main window on the local film database (offscreen): a film read from it shows as a
// film page's does, and the status bar says where it came from, with the data's credit line.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <string>

#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "shell/MainUnit.h"
#include "shell/application.h"
#include "shell/picture.h"
#include "shell/user_settings.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/local_films.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ScriptedPrompts;
using test_support::TempDir;
using ::testing::ElementsAre;

// The programs these tests start never find the user's own film database.
const bool no_user_database = [] {
    return ::setenv("KORVID_DATASET", "/nonexistent/korvid-tests/films.sqlite", 1) == 0;
}();

// No server listens there: only the local source can answer.
constexpr const char* Host = "127.0.0.1:9";

const QString ListStatus =
    QString("OK - from the local film data. ") + QString::fromLatin1(dataset::CreditLine);
// Covers are off in these tests, and after a film the status says so after the credit.
const QString LocalStatus = ListStatus + " no cover: fetching covers online is off";

TApplication* App() {
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}

class LocalSourceWindowTest : public ::testing::Test {
  protected:
    LocalSourceWindowTest() : importer_(prompts_), form_(importer_, prompts_, dir_.Dir(), Host) {
        const std::string path = dir_.File("films.sqlite");
        dataset::BuildDatabase(test_support::WriteDataset(dir_.Path(), test_support::LocalFilmRows),
                               path);
        importer_.UseFilmDatabase(std::make_shared<const dataset::FilmDatabase>(path));
        // The covers of local films have tests of their own (local_cover_window_test).
        SetFetchCoversOnline(false);
        App()->SetPrompts(&prompts_);
        form_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form_));
    }
    ~LocalSourceWindowTest() override {
        App()->SetPrompts(nullptr);
        SetFetchCoversOnline(true);
    }

    void Search(const QString& title) {
        form_.Title->setText(title);
        QTest::mouseClick(form_.ToolButton2, Qt::LeftButton);
    }

    TempDir dir_;
    ScriptedPrompts prompts_;
    TIMDBImport importer_;
    Tmovieform form_;
};

TEST_F(LocalSourceWindowTest, ALocalFilmShowsWithItsSourceAndCreditInTheStatusBar) {
    Search("joelle");
    EXPECT_EQ(form_.Label3->text(), QString::fromUtf8("Title : Joëlle "));
    EXPECT_EQ(form_.Label4->text(), "Year : 2004");
    EXPECT_EQ(form_.Label5->text(), QString::fromUtf8("Dir : Jiří Novák"));
    EXPECT_EQ(form_.Label2->text(), QString::fromUtf8("Lead : Mireille Øster as Hélène"));
    EXPECT_EQ(form_.Label6->text(), "Rated : 7.1/10");
    EXPECT_EQ(form_.Label7->text(), "Genre : Drama");
    EXPECT_EQ(form_.Label9->text(), "Running Time : 95 min");
    EXPECT_EQ(form_.plotmemo->toPlainText(), "");
    EXPECT_TRUE(form_.Image1->Picture().Empty());
    EXPECT_EQ(form_.StatusText(), LocalStatus);
    EXPECT_EQ(form_.StatusBar->toolTip(), QString::fromLatin1(dataset::CreditLine));
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_TRUE(prompts_.errors.empty());
}

// A title typed with a combining mark ("e" + U+0308) is composed before it becomes Latin-1.
TEST_F(LocalSourceWindowTest, ATitleTypedInDecomposedFormFindsItsFilm) {
    Search(QString::fromUtf8("Joe\u0308lle"));
    EXPECT_EQ(form_.Label3->text(), QString::fromUtf8("Title : Joëlle "));
    EXPECT_EQ(form_.StatusText(), LocalStatus);
}

// A title in another script: the list names the title each entry was found by, and the film's
// texts and the Title box show it whole.
TEST_F(LocalSourceWindowTest, ATitleInAnyScriptFindsItsFilmAndTheListSaysWhichTitleMatched) {
    Search(QString::fromUtf8("\u0447\u0443\u0436\u043E\u0439"));  // чужой
    EXPECT_EQ(form_.Label3->text(), "Title : Alien ");
    EXPECT_EQ(form_.Title->text(), "Alien ");

    Search(QString::fromUtf8("\u5343\u5C0B"));  // 千尋, inside 千と千尋の神隠し
    ASSERT_EQ(form_.ListBox1->count(), 1);
    EXPECT_EQ(form_.ListBox1->item(0)->text(),
              QString::fromUtf8("Jo\u00EBlle (2004) \u2014 \u5343\u3068\u5343\u5C0B\u306E"
                                "\u795E\u96A0\u3057 (JP)"));
    QListWidgetItem* item = form_.ListBox1->item(0);
    QTest::mouseClick(form_.ListBox1->viewport(), Qt::LeftButton, {},
                      form_.ListBox1->visualItemRect(item).center());
    EXPECT_EQ(form_.Label3->text(), QString::fromUtf8("Title : Jo\u00EBlle "));
    // The list stays as the search gave it.
    EXPECT_EQ(form_.ListBox1->item(0)->text(), item->text());

    // A search the film data has nothing for says where it looked.
    Search(QString::fromUtf8("\u0436\u0436\u0436"));
    EXPECT_EQ(form_.StatusText(), "No film found in the local film data");
}

TEST_F(LocalSourceWindowTest, AListEntryPickedIsReadFromTheDatabase) {
    Search("lantern road");
    ASSERT_EQ(form_.ListBox1->count(), 3);
    EXPECT_EQ(form_.ListBox1->item(0)->text(), "Lantern Road (2019) (TV Series)");
    EXPECT_EQ(form_.StatusText(), ListStatus);
    QListWidgetItem* item = form_.ListBox1->item(1);
    QTest::mouseClick(form_.ListBox1->viewport(), Qt::LeftButton, {},
                      form_.ListBox1->visualItemRect(item).center());
    EXPECT_EQ(form_.Label3->text(), "Title : Lantern Road ");
    EXPECT_EQ(form_.Label4->text(), "Year : 1971");
    EXPECT_EQ(form_.StatusText(), LocalStatus);
}

TEST_F(LocalSourceWindowTest, ALookupOnTheSiteEndsWithoutTheCredit) {
    Search("joelle");
    importer_.UseFilmDatabase(nullptr);
    Search("joelle");  // nothing listens at the host: no page
    EXPECT_EQ(form_.StatusText(), "Lookup failed: connection refused");
    EXPECT_EQ(form_.StatusBar->toolTip(), "");
}

}  // namespace
}  // namespace korvid
