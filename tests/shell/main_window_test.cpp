// The main window on real widgets (offscreen), with scripted prompts and a loopback site
// that answers each search and film address with a page written for the case.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "common/errors.h"
#include "loopback/loopback_server.h"
#include "shell/EditTagUnit.h"
#include "shell/MainUnit.h"
#include "shell/application.h"
#include "shell/mdCONTROLS.h"
#include "shell/picture.h"
#include "tag/movie_tag.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::LoopbackServer;
using test_support::FileExists;
using test_support::ReadFileBytes;
using test_support::ScriptedPrompts;
using test_support::TempDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::string Page(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

const std::string ListPage = Page({
    "<html><head><title>IMDb Search</title></head><body>",
    "<h2>Popular Results</h2>",
    "<ol>",
    "<li><a href=\"/title/tt1/\">Glass Orchard</a> (2003)</li>",
    "<li><a href=\"/title/tt2/\">Winter Orchard</a> (2009)</li>",
    "</ol>",
    "<h2>Companies</h2>",
    "</body></html>",
});

const std::string NoResultPage = Page({"<html><head><title>The search found nothing</title>"});

// A result list of the given number of entries, "Film 0" to "Film N-1".
std::string LongListPage(int entries) {
    std::vector<std::string> lines = {"<html><head><title>IMDb Search</title></head><body>",
                                      "<h2>Popular Results</h2>", "<ol>"};
    for (int i = 0; i < entries; ++i) {
        const std::string number = std::to_string(i);
        lines.push_back("<li><a href=\"/title/tt" + number + "/\">Film " + number +
                        "</a> (2001)</li>");
    }
    lines.insert(lines.end(), {"</ol>", "<h2>Companies</h2>", "</body></html>"});
    return Page(lines);
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// The sample film page "The Silent Orchard" with its cover at the given path of the test
// site, or without a cover line when the path is empty.
std::string FilmPage(const std::string& host, const std::string& cover,
                     const std::string& tagline = "Some things grow back.") {
    std::string page = ReadFileBytes(KORVID_TEST_DATA_DIR "/film-complete.html");
    ReplaceAll(page, "@HOST@", host);
    ReplaceAll(page, "Some things grow back.", tagline);
    if (cover.empty()) {
        const std::size_t poster = page.find("<div class=\"photo\">");
        page.erase(poster, page.find('\n', poster) + 1 - poster);
    } else {
        ReplaceAll(page, "/covers/silent-orchard.jpg", cover);
    }
    return page;
}

std::string CoverJpeg() {
    return ReadFileBytes(KORVID_SOURCE_DIR "/sample-site/pages/covers/tt9000001.jpg");
}

TApplication* App() {
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}

// The tag editor, shown without blocking: each showing is counted and the window stays open.
class EditorShownInPlace : public TEditTagForm {
  public:
    using TEditTagForm::TEditTagForm;
    int showings = 0;

  protected:
    int ShowModal() override {
        ++showings;
        return QDialog::Rejected;
    }
};

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest()
        : importer_(prompts_),
          server_([this](const HttpRequest& request) { return Answer(request); }),
          form_(importer_, prompts_, dir_.Dir(), server_.HostPort()) {
        App()->SetPrompts(&prompts_);
        // The status texts in order, without the byte counts of downloads.
        QObject::connect(form_.StatusBar, &QStatusBar::messageChanged, [this](const QString& text) {
            if (!text.endsWith(" KB")) {
                statuses_.push_back(text.toStdString());
            }
        });
        SetPage("/find?s=all&q=orchard", ListPage);
        SetPage("/find?s=all&q=nothing", NoResultPage);
        SetPage("/title/tt1/", FilmPage(server_.HostPort(), "/covers/1.jpg"));
        SetPage("/title/tt2/", FilmPage(server_.HostPort(), ""));
        SetPage("/covers/1.jpg", CoverJpeg());
        form_.EditTagForm = editor_ = new EditorShownInPlace(prompts_, &form_);
        form_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form_));
    }

    ~MainWindowTest() override { App()->SetPrompts(nullptr); }

    HttpResponse Answer(const HttpRequest& request) {
        std::lock_guard lock(mutex_);
        requests_.push_back(request.target);
        const auto page = pages_.find(request.target);
        if (page == pages_.end()) {
            return HttpResponse::WithStatus(404, "Not Found", "");
        }
        return page->second;
    }

    void SetPage(const std::string& target, std::string body) {
        std::lock_guard lock(mutex_);
        pages_[target] = HttpResponse::Ok(std::move(body));
    }

    std::vector<std::string> Requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    void Search(const QString& title) {
        form_.Title->setText(title);
        statuses_.clear();
        QTest::mouseClick(form_.ToolButton2, Qt::LeftButton);
    }

    // Picks an entry as the user does, with a mouse click on it.
    void Pick(int row) {
        statuses_.clear();
        QListWidgetItem* item = form_.ListBox1->item(row);
        QTest::mouseClick(form_.ListBox1->viewport(), Qt::LeftButton, {},
                          form_.ListBox1->visualItemRect(item).center());
    }

    std::vector<QString> ListEntries() const {
        std::vector<QString> entries;
        for (int i = 0; i < form_.ListBox1->count(); ++i) {
            entries.push_back(form_.ListBox1->item(i)->text());
        }
        return entries;
    }

    std::mutex mutex_;
    std::map<std::string, HttpResponse> pages_;
    std::vector<std::string> requests_;
    TempDir dir_;
    ScriptedPrompts prompts_;
    TIMDBImport importer_;
    LoopbackServer server_;
    Tmovieform form_;
    EditorShownInPlace* editor_ = nullptr;
    std::vector<std::string> statuses_;
};

TEST_F(MainWindowTest, OpensWithTheLayoutsPlacesCaptionsAndFocus) {
    struct Place {
        const char* name;
        QRect geometry;
    };
    for (const Place& place : {
             Place{"Panel1", {0, 0, 1009, 65}},
             Place{"Image2", {16, -4, 105, 68}},
             Place{"ToolBar1", {0, 65, 1009, 24}},
             Place{"Title", {21, 0, 231, 22}},
             Place{"ToolButton2", {252, 0, 23, 22}},
             Place{"ToolButton13", {469, 0, 23, 22}},
             Place{"GroupBox1", {0, 89, 497, 422}},
             Place{"ScrollBox1", {504, 95, 185, 234}},
             Place{"Button2", {6, 4, 88, 25}},
             Place{"Label7", {699, 220, 285, 17}},
             Place{"Label11", {698, 272, 295, 89}},
             Place{"plotmemo", {505, 391, 496, 114}},
             Place{"StatusBar", {0, 511, 1009, 19}},
         }) {
        auto* widget = form_.findChild<QWidget*>(place.name);
        ASSERT_NE(widget, nullptr) << place.name;
        EXPECT_EQ(widget->geometry(), place.geometry) << place.name;
    }
    EXPECT_EQ(form_.size(), QSize(1009, 530));
    EXPECT_EQ(form_.windowTitle(), "Brellow Korvid");
    EXPECT_EQ(form_.ToolButton8->toolTip(), "Add Movie Data to a Movie File as EKT Tag");
    EXPECT_EQ(form_.StatusText(), "OK");
    EXPECT_FALSE(form_.Image2->Picture().Empty()) << "the banner logo";
    EXPECT_EQ(form_.findChildren<TXPThemeAPI*>().size(), 1);

    // No caption is clipped with the stand-in fonts.
    for (const QLabel* label : form_.findChildren<QLabel*>()) {
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
            << label->objectName().toStdString();
    }
    EXPECT_LE(form_.Button2->fontMetrics().horizontalAdvance("Save Cover") + 8,
              form_.Button2->width());

    // Tab order from the list, and the list has the focus when the window opens.
    std::vector<QString> order;
    QWidget* widget = form_.ListBox1;
    for (int i = 0; i < 4; ++i, widget = widget->nextInFocusChain()) {
        while (widget->focusPolicy() == Qt::NoFocus || !widget->isVisible()) {
            widget = widget->nextInFocusChain();
        }
        order.push_back(widget->objectName());
    }
    EXPECT_THAT(order, ElementsAre("ListBox1", "Button2", "plotmemo", "Title"));
    QApplication::setActiveWindow(&form_);
    EXPECT_EQ(QApplication::focusWidget(), form_.ListBox1);
}

TEST_F(MainWindowTest, TabMovesOnFromThePlotBoxAsFromEveryOtherControl) {
    QApplication::setActiveWindow(&form_);
    form_.plotmemo->setFocus();
    QTest::keyClick(form_.plotmemo, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form_.Title);
    form_.plotmemo->setFocus();
    QTest::keyClick(form_.plotmemo, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), form_.Button2);
    EXPECT_TRUE(form_.plotmemo->toPlainText().isEmpty());
}

TEST_F(MainWindowTest, EmptyTitleSaysSoAndChangesNothing) {
    Search("");
    EXPECT_THAT(prompts_.messages, ElementsAre("No title entered!"));
    EXPECT_TRUE(statuses_.empty());
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(form_.Label3->text(), "Title");
}

TEST_F(MainWindowTest, ResultListThenPickShowsTheFilmAndItsCover) {
    Search("orchard");
    EXPECT_THAT(ListEntries(), ElementsAre("Glass Orchard (2003)", "Winter Orchard (2009)"));
    EXPECT_TRUE(form_.ListBox1->selectedItems().isEmpty());
    EXPECT_EQ(statuses_.front(), "Scanning .......");
    EXPECT_EQ(statuses_.back(), "OK");

    bool list_enabled_during_import = true;
    QObject::connect(form_.StatusBar, &QStatusBar::messageChanged, [&](const QString& text) {
        if (text == "Retrieving Movie Info....") {
            list_enabled_during_import = form_.ListBox1->isEnabled();
        }
    });
    form_.ListBox1->setFocus();
    Pick(0);
    EXPECT_FALSE(list_enabled_during_import);
    EXPECT_TRUE(form_.ListBox1->isEnabled());
    EXPECT_THAT(statuses_,
                ElementsAre("Retrieving Movie Info....", "Found Info, Importing Data....", "OK"));
    EXPECT_EQ(form_.Label3->text(), "Title : The Silent Orchard ");
    EXPECT_EQ(form_.Label4->text(), "Year : 1987");
    EXPECT_EQ(form_.Label5->text(), "Dir : Ilse Varenne");
    EXPECT_EQ(form_.Label6->text(), "Rated : 7.9/10");
    EXPECT_EQ(form_.Title->text(), "The Silent Orchard ");
    EXPECT_THAT(form_.plotmemo->toPlainText().toStdString(),
                ::testing::StartsWith(" A widowed beekeeper finds a letter"));
    EXPECT_FALSE(form_.Image1->Picture().Empty());
    // The list gave its focus to the window.
    EXPECT_EQ(QApplication::focusWidget(), &form_);
    EXPECT_TRUE(prompts_.errors.empty());
}

TEST_F(MainWindowTest, ANewResultListStartsAtItsTop) {
    SetPage("/find?s=all&q=many", LongListPage(600));
    Search("many");
    ASSERT_EQ(form_.ListBox1->count(), 600);
    form_.ListBox1->scrollToBottom();
    ASSERT_GT(form_.ListBox1->verticalScrollBar()->value(), 0);

    Search("many");
    ASSERT_EQ(form_.ListBox1->count(), 600);
    EXPECT_EQ(form_.ListBox1->verticalScrollBar()->value(), 0);
    EXPECT_EQ(form_.ListBox1->indexAt(QPoint(1, 1)).row(), 0);
}

TEST_F(MainWindowTest, DirectHitShowsTheFilmAndEmptiesTheList) {
    Search("orchard");
    SetPage("/find?s=all&q=glass", FilmPage(server_.HostPort(), "/covers/1.jpg"));
    Search("glass");
    EXPECT_TRUE(ListEntries().empty());
    EXPECT_THAT(statuses_, ElementsAre("Scanning .......", "Retrieving Movie Info....", "OK"));
    EXPECT_EQ(form_.Label3->text(), "Title : The Silent Orchard ");
    EXPECT_FALSE(form_.Image1->Picture().Empty());
}

TEST_F(MainWindowTest, NoResultAndUnreachableSiteLeaveBarePrefixesAndAnEmptyList) {
    Search("orchard");
    Search("nothing");
    EXPECT_TRUE(ListEntries().empty());
    EXPECT_EQ(form_.Label5->text(), "Dir : ");
    EXPECT_EQ(form_.StatusText(), "No film found");
    EXPECT_TRUE(prompts_.messages.empty());

    Tmovieform offline(importer_, prompts_, dir_.Dir(),
                       "127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort()));
    offline.Title->setText("orchard");
    offline.Button1Click();
    EXPECT_THAT(prompts_.messages,
                ElementsAre("Cannot Download Page From Website !\nconnection refused"));
    EXPECT_EQ(offline.StatusText(), "Lookup failed: connection refused");
    EXPECT_EQ(offline.ListBox1->count(), 0);
}

TEST_F(MainWindowTest, AnImportErrorIsReportedInTheStatusAndFreesTheList) {
    Search("orchard");
    form_.ListBox1Click();  // nothing selected: the importer raises its list index error
    EXPECT_THAT(statuses_, ElementsAre("Scanning .......", "OK", "Retrieving Movie Info....",
                                       "Found Error while Parsing !"));
    EXPECT_TRUE(form_.ListBox1->isEnabled());
    EXPECT_TRUE(prompts_.errors.empty());
}

TEST_F(MainWindowTest, ASearchPageThatFailsToParseEndsItsStatusLine) {
    SetPage("/find?s=all&q=broken",
            Page({"<title>Alien (1979)</title>", "<h5 class=\"ch\">Genre:</h5>"}));
    form_.Title->setText("broken");
    QTest::mouseClick(form_.ToolButton2, Qt::LeftButton);
    EXPECT_THAT(statuses_, ElementsAre("Scanning .......", "Found Error while Parsing !"));
    EXPECT_THAT(prompts_.errors, ElementsAre(HasSubstr("List index out of bounds")));
}

TEST_F(MainWindowTest, AFilmWithoutACoverOrWithABrokenOneIsNeverShownBesideAnotherFilmsCover) {
    Search("orchard");
    Pick(0);
    ASSERT_FALSE(form_.Image1->Picture().Empty());
    Pick(1);  // no cover on the page
    EXPECT_TRUE(form_.Image1->Picture().Empty());

    Pick(0);
    SetPage("/covers/1.jpg", "<html>not a picture</html>");
    form_.ListBox1->clearSelection();
    Pick(0);
    EXPECT_THAT(statuses_,
                ElementsAre("Retrieving Movie Info....", "Found Info, Importing Data....",
                            "Found Error while Loading Image !", "OK"));
    EXPECT_TRUE(form_.Image1->Picture().Empty());

    const std::string saved = dir_.File("cover.jpg");
    prompts_.file_names.push_back(saved);
    QTest::mouseClick(form_.Button2, Qt::LeftButton);
    EXPECT_FALSE(FileExists(saved));
}

TEST_F(MainWindowTest, AnEmptyCoverGivesOneJpegErrorBoxWhenPaintedAndABlankArea) {
    SetPage("/covers/1.jpg", "");
    Search("orchard");
    Pick(0);
    EXPECT_EQ(form_.StatusText(), "OK");
    ASSERT_FALSE(form_.Image1->Picture().Empty());
    form_.Image1->grab();
    QCoreApplication::processEvents();
    form_.Image1->grab();
    QCoreApplication::processEvents();
    ASSERT_EQ(prompts_.errors.size(), 1u);
    EXPECT_EQ(prompts_.errors[0], "JPEG error #42\nThe cover file is empty.");
}

TEST_F(MainWindowTest, SaveCommandsWriteThroughTheirOwnDialogsAndAskBeforeReplacing) {
    Search("orchard");
    Pick(0);
    const std::string xml = dir_.File("film.xml");
    const std::string csv = dir_.File("film.csv");
    prompts_.file_names = {xml, csv};
    QTest::mouseClick(form_.ToolButton5, Qt::LeftButton);
    QTest::mouseClick(form_.ToolButton6, Qt::LeftButton);
    EXPECT_THAT(ReadFileBytes(xml), HasSubstr("The Silent Orchard"));
    EXPECT_THAT(ReadFileBytes(csv), HasSubstr("Productname~Owner~Image"));
    ASSERT_EQ(prompts_.dialogs.size(), 2u);
    // Each document its own dialog, its own type first, starting from its own last name.
    EXPECT_EQ(prompts_.dialogs[0].title, "Save DVD Xml File");
    EXPECT_EQ(prompts_.dialogs[0].filter.substr(0, 15), "XML Files|*.xml");
    EXPECT_EQ(prompts_.dialogs[0].default_extension, ".xml");
    EXPECT_EQ(prompts_.dialogs[1].title, "Save DVD Csv File");
    EXPECT_EQ(prompts_.dialogs[1].filter.substr(0, 15), "CSV Files|*.csv");
    EXPECT_EQ(prompts_.dialogs[1].default_extension, ".csv");
    EXPECT_EQ(prompts_.dialogs[1].file_name, "");
    EXPECT_TRUE(prompts_.questions.empty()) << "no file was in the way";

    // Writing over a file asks first: No leaves it as it was, Yes replaces it.
    const struct {
        PromptAnswer answer;
        bool replaced;
    } answers[] = {{PromptAnswer::Cancel, false}, {PromptAnswer::Ok, true}};
    for (const auto& a : answers) {
        test_support::WriteFileBytes(csv, "mine");
        prompts_.file_names = {csv};
        prompts_.answers = {a.answer};
        QTest::mouseClick(form_.ToolButton5, Qt::LeftButton);  // the XML document into film.csv
        // The XML dialog starts from its own last name: film.xml, then the film.csv chosen.
        EXPECT_EQ(prompts_.dialogs.back().file_name, a.replaced ? csv : xml);
        ASSERT_FALSE(prompts_.questions.empty());
        EXPECT_EQ(prompts_.questions.back().text,
                  "film.csv already exists.\nDo you want to replace it?");
        EXPECT_EQ(prompts_.questions.back().default_choice, DefaultChoice::Second);
        EXPECT_EQ(ReadFileBytes(csv) != "mine", a.replaced);
    }

    // The XML dialog also lists the media centres' NFO document: the type chosen, not the
    // extension typed, picks the writer.
    EXPECT_EQ(prompts_.dialogs[0].filter,
              "XML Files|*.xml|Media centre NFO|*.nfo|All Files|*.*");
    const std::string nfo = dir_.File("film.nfo");
    const std::string typed_xml = dir_.File("for the centre.xml");
    prompts_.file_names = {typed_xml, nfo};
    prompts_.file_types = {2, 1};
    QTest::mouseClick(form_.ToolButton5, Qt::LeftButton);
    QTest::mouseClick(form_.ToolButton5, Qt::LeftButton);
    EXPECT_THAT(ReadFileBytes(typed_xml), HasSubstr("<movie>"));
    EXPECT_THAT(ReadFileBytes(typed_xml), HasSubstr("<title>The Silent Orchard</title>"));
    EXPECT_THAT(ReadFileBytes(nfo), HasSubstr("The Silent Orchard"));
    EXPECT_THAT(ReadFileBytes(nfo), Not(HasSubstr("<movie>")));

    // A cover saved under a bitmap name holds the JPEG bytes as they arrived; the dialog
    // offers the cover's own name.
    const std::string cover = dir_.File("cover.bmp");
    prompts_.file_names = {cover};
    QTest::mouseClick(form_.Button2, Qt::LeftButton);
    EXPECT_EQ(ReadFileBytes(cover), CoverJpeg());
    EXPECT_EQ(prompts_.dialogs.back().title, "Save Cover Image");
    EXPECT_EQ(prompts_.dialogs.back().file_name,
              std::filesystem::path(importer_.PosterFile.str()).filename().string());

    // A name the importer could keep only cut is refused, and no other file is written.
    const std::string too_long = dir_.Dir() + std::string(300, 'x') + ".xml";
    prompts_.file_names = {too_long};
    QTest::mouseClick(form_.ToolButton5, Qt::LeftButton);
    ASSERT_EQ(prompts_.errors.size(), 1u);
    EXPECT_THAT(prompts_.errors[0], HasSubstr("Cannot create file"));
}

TEST_F(MainWindowTest, SaveCoverBeforeAnyCoverWritesNothing) {
    const std::string cover = dir_.File("cover.jpg");
    prompts_.file_names = {cover};
    QTest::mouseClick(form_.Button2, Qt::LeftButton);
    EXPECT_EQ(prompts_.dialogs.size(), 1u);
    EXPECT_FALSE(FileExists(cover));
}

TEST_F(MainWindowTest, EnterSearchesFromTheTitleBoxAndEscapeClosesOnlyFromTheWindow) {
    QApplication::setActiveWindow(&form_);
    form_.Title->setFocus();
    form_.Title->setText("orchard");
    QTest::keyClick(form_.Title, Qt::Key_Return);
    EXPECT_THAT(Requests(), ElementsAre("/find?s=all&q=orchard"));
    EXPECT_EQ(form_.ListBox1->count(), 2);
    form_.Title->setFocus();
    QTest::keyClick(form_.Title, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(Requests().size(), 2u);
    QTest::keyClick(form_.Title, Qt::Key_Escape);
    EXPECT_TRUE(form_.isVisible());

    form_.setFocus();
    QTest::keyClick(&form_, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(Requests().size(), 3u);
    QTest::keyClick(&form_, Qt::Key_Escape);
    EXPECT_FALSE(form_.isVisible());
}

TEST_F(MainWindowTest, EveryToolbarButtonHasAKeyThatIsDroppedDuringALookup) {
    QApplication::setActiveWindow(&form_);
    form_.Title->setFocus();
    form_.Title->setText("orchard");
    int help_clicks = 0;
    QObject::connect(form_.ToolButton11, &QToolButton::clicked, [&] { ++help_clicks; });
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* dialog_filter;  // the file dialog the key opens, or none
    } keys[] = {
        {Qt::Key_S, Qt::ControlModifier, "CSV Files|*.csv|All Files|*.*"},
        {Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier, "XML Files|*.xml|"},
        {Qt::Key_T, Qt::ControlModifier, "All Supported Formats |*.avi;"},
        {Qt::Key_R, Qt::ControlModifier, "All Supported Formats |*.avi;"},
        {Qt::Key_F1, Qt::NoModifier, nullptr},
    };
    for (const auto& key : keys) {
        const std::size_t dialogs = prompts_.dialogs.size();
        QTest::keyClick(form_.Title, key.key, key.modifiers);
        if (key.dialog_filter != nullptr) {
            ASSERT_EQ(prompts_.dialogs.size(), dialogs + 1) << key.key;
            EXPECT_THAT(prompts_.dialogs.back().filter, ::testing::StartsWith(key.dialog_filter));
        }
    }
    EXPECT_EQ(prompts_.dialogs[0].title, "Save DVD Csv File") << "Ctrl+S saves the CSV document";
    EXPECT_EQ(prompts_.dialogs[1].title, "Save DVD Xml File") << "Ctrl+Shift+S the XML document";
    EXPECT_EQ(help_clicks, 1);
    // F1 opened About Korvid; the user closes it and is back in the main window.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == "AboutDialog") {
            window->close();
        }
    }
    QApplication::setActiveWindow(&form_);
    EXPECT_EQ(form_.ToolButton6->toolTip(), "Save Movie Data as CSV File");
    EXPECT_TRUE(Requests().empty());
    QTest::keyClick(form_.Title, Qt::Key_F, Qt::ControlModifier);
    EXPECT_THAT(Requests(), ElementsAre("/find?s=all&q=orchard"));

    // Pressed while a download runs, no key opens anything.
    HttpResponse slow = HttpResponse::Ok(ListPage + std::string(6000, ' '));
    slow.piece_size = 1024;
    slow.piece_delay = std::chrono::milliseconds(2);
    {
        std::lock_guard lock(mutex_);
        pages_["/find?s=all&q=orchard"] = slow;
    }
    const std::size_t dialogs = prompts_.dialogs.size();
    bool pressed = false;
    QObject::connect(form_.StatusBar, &QStatusBar::messageChanged, [&](const QString& text) {
        if (text.endsWith(" KB") && !pressed) {
            pressed = true;
            for (const auto& key : keys) {
                QTest::keyClick(form_.Title, key.key, key.modifiers);
            }
            QTest::keyClick(form_.Title, Qt::Key_F, Qt::ControlModifier);
        }
    });
    QTest::keyClick(form_.Title, Qt::Key_Return);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(prompts_.dialogs.size(), dialogs);
    EXPECT_EQ(help_clicks, 1);
    EXPECT_EQ(Requests().size(), 2u);

    QApplication::setActiveWindow(&form_);
    QTest::keyClick(form_.Title, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form_.isVisible());
}

TEST_F(MainWindowTest, AfterASearchEndingOnAListNothingOfTheFilmBeforeIsSavedOrTagged) {
    Search("orchard");
    Pick(0);
    ASSERT_FALSE(form_.Image1->Picture().Empty());
    Search("orchard");
    EXPECT_TRUE(form_.Image1->Picture().Empty());

    const std::string xml = dir_.File("after.xml");
    const std::string csv = dir_.File("after.csv");
    const std::string cover = dir_.File("after.jpg");
    const std::string movie = dir_.File("film.avi");
    test_support::WriteFileBytes(movie, std::string(1000, 'm'));
    prompts_.file_names = {xml, csv, cover, movie};
    QTest::mouseClick(form_.ToolButton5, Qt::LeftButton);
    QTest::mouseClick(form_.ToolButton6, Qt::LeftButton);
    QTest::mouseClick(form_.Button2, Qt::LeftButton);
    QTest::mouseClick(form_.ToolButton8, Qt::LeftButton);
    EXPECT_EQ(ReadFileBytes(xml), "");
    EXPECT_EQ(ReadFileBytes(csv), std::string(CsvHeaderRow) + "\r\n");
    EXPECT_FALSE(FileExists(cover));
    ASSERT_EQ(editor_->showings, 1);
    EXPECT_EQ(editor_->edTitle->text(), "orchard");
    for (const QLineEdit* box :
         {editor_->edDirector, editor_->edIMDB, editor_->edYear, editor_->edComment}) {
        EXPECT_EQ(box->text(), "") << box->objectName().toStdString();
    }
    EXPECT_EQ(editor_->edGenre->currentIndex(), -1);
    EXPECT_TRUE(prompts_.errors.empty());
}

TEST_F(MainWindowTest, APageThatIsNoFilmsIsReportedAndShowsNoFilm) {
    const std::string sign_in = Page({"<html><head><title>Sign In</title></head>", "</html>"});
    SetPage("/find?s=all&q=signin", sign_in);
    Search("signin");
    const std::string message = "Cannot Download Page From Website !\nnot a film page";
    EXPECT_THAT(prompts_.messages, ElementsAre(message));
    EXPECT_EQ(form_.Label3->text(), "Title : ");
    EXPECT_EQ(form_.StatusText(), "Lookup failed: not a film page");

    Search("orchard");
    Pick(0);
    SetPage("/title/tt2/", sign_in);
    Pick(1);
    EXPECT_THAT(prompts_.messages, ElementsAre(message, message));
    EXPECT_EQ(form_.Label3->text(), "Title : ");
    EXPECT_TRUE(form_.Image1->Picture().Empty());
}

TEST_F(MainWindowTest, TheFirstDownInTheListImportsTheFirstEntryAndAFailedPickIsRetried) {
    Search("orchard");
    QApplication::setActiveWindow(&form_);
    form_.Title->setFocus();
    QTest::keyClick(form_.Title, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form_.ListBox1);
    QTest::keyClick(form_.ListBox1, Qt::Key_Down);
    EXPECT_THAT(Requests(), ::testing::Contains("/title/tt1/"));
    EXPECT_THAT(Requests(), ::testing::Not(::testing::Contains("/title/tt2/")));
    EXPECT_EQ(form_.ListBox1->currentRow(), 0);

    // A pick that fails is tried again by a click on the entry, now chosen.
    {
        std::lock_guard lock(mutex_);
        pages_.erase("/title/tt2/");
    }
    Pick(1);
    EXPECT_THAT(prompts_.messages,
                ElementsAre("Cannot Download Page From Website !\nthe site answered 404"));
    const auto imports = [this] {
        const std::vector<std::string> requests = Requests();
        return std::count(requests.begin(), requests.end(), "/title/tt2/");
    };
    SetPage("/title/tt2/", FilmPage(server_.HostPort(), ""));
    Pick(1);
    EXPECT_EQ(imports(), 2);
    EXPECT_EQ(form_.Label3->text(), "Title : The Silent Orchard ");
    Pick(1);  // a film shown: a click on its entry does not import it again
    EXPECT_EQ(imports(), 2);
}

TEST_F(MainWindowTest, LongDetailsAreCutAtTheWindowsEdgeAndShownWholeInTheirTooltip) {
    std::string page = FilmPage(server_.HostPort(), "/covers/1.jpg");
    ReplaceAll(page, "Ilse Varenne", "Ilse " + std::string(150, 'V') + " Varenne");
    ReplaceAll(page, "104 min", "<b>104</b> min " + std::string(150, 'm') + " end");
    SetPage("/title/tt1/", page);
    Search("orchard");
    Pick(0);
    for (const QLabel* label : {form_.Label5, form_.Label9}) {
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_LE(label->geometry().right(), 1001);
        EXPECT_TRUE(label->text().endsWith(QChar(0x2026))) << "cut with an ellipsis";
    }
    EXPECT_TRUE(form_.Label5->text().startsWith("Dir : Ilse VVV"));
    EXPECT_THAT(form_.Label5->toolTip().toStdString(), HasSubstr("VVVV Varenne"));
    // The tooltip shows page text as it stands, never as markup.
    EXPECT_TRUE(form_.Label9->text().startsWith("Running Time : <b>104</b> min mmm"));
    EXPECT_THAT(form_.Label9->toolTip().toStdString(), HasSubstr("&lt;b&gt;104&lt;/b&gt;"));
    EXPECT_THAT(form_.Label9->toolTip().toStdString(), HasSubstr("mmmm end"));
    EXPECT_EQ(form_.Label4->toolTip(), "") << "a text that fits has no tooltip";
    for (const QLabel* detail :
         {form_.Label3, form_.Label4, form_.Label2, form_.Label9, form_.Label6}) {
        EXPECT_LE(detail->geometry().right(), 1001) << detail->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, ADropAnywhereLeavesTheCoverFillingItsBox) {
    const QRect area = form_.ScrollBox1->viewport()->rect();
    EXPECT_EQ(form_.Image1->geometry(), area);
    form_.DragStartX = 10;
    form_.DragStartY = 20;
    EXPECT_TRUE(form_.ScrollBox1DragOver(form_.Image1));
    EXPECT_FALSE(form_.ScrollBox1DragOver(form_.Title));
    form_.ScrollBox1DragDrop(form_.ScrollBox1, form_.Image1, 90, 120);
    EXPECT_EQ(form_.Image1->geometry(), area);
    form_.ScrollBox1DragDrop(form_.Image1, form_.Image1, 3, 4);
    EXPECT_EQ(form_.Image1->geometry(), area);
}

TEST_F(MainWindowTest, PageTextIsShownAsPlainText) {
    SetPage("/title/tt1/",
            FilmPage(server_.HostPort(), "",
                     "<b>bold</b> <img src=\"http://" + server_.HostPort() + "/img.png\">"));
    Search("orchard");
    Pick(0);
    form_.repaint();
    EXPECT_EQ(form_.Label11->text().toStdString(),
              "Tag :  <b>bold</b> <img src=\"http://" + server_.HostPort() + "/img.png\"> ");
    EXPECT_EQ(form_.Label11->textFormat(), Qt::PlainText);
    for (const std::string& target : Requests()) {
        EXPECT_NE(target, "/img.png");
    }
}

TEST_F(MainWindowTest, ADownloadShowsTheBytesReceivedInTheStatusBar) {
    HttpResponse slow = HttpResponse::Ok(ListPage + std::string(6000, ' '));
    slow.piece_size = 1024;
    slow.piece_delay = std::chrono::milliseconds(2);
    {
        std::lock_guard lock(mutex_);
        pages_["/find?s=all&q=orchard"] = slow;
    }
    std::vector<std::string> progress;
    QObject::connect(form_.StatusBar, &QStatusBar::messageChanged, [&](const QString& text) {
        if (text.endsWith(" KB")) {
            progress.push_back(text.toStdString());
        }
    });
    Search("orchard");
    EXPECT_THAT(progress, ::testing::Contains("Scanning ....... 7 KB"));
    EXPECT_EQ(statuses_.back(), "OK");
    EXPECT_EQ(form_.ListBox1->count(), 2);
}

TEST_F(MainWindowTest, TaggingAFileFillsTheEditorFromTheFilmAndSaveWritesIt) {
    const std::string movie = dir_.File("film.avi");
    test_support::WriteFileBytes(movie, std::string(1000, 'm'));
    Search("orchard");
    Pick(0);
    prompts_.file_names = {std::nullopt, movie};
    QTest::mouseClick(form_.ToolButton8, Qt::LeftButton);  // cancelled: nothing happens
    EXPECT_EQ(editor_->showings, 0);
    QTest::mouseClick(form_.ToolButton8, Qt::LeftButton);
    ASSERT_EQ(editor_->showings, 1);
    EXPECT_EQ(prompts_.dialogs[1].filter,
              "All Supported Formats |*.avi;*.mpe;*.mpeg;*.mpg;*.mp4;*.mov;*.asf;*.asx;*.wmv;*.qt|"
              "Audio Video Interleave File (AVI) |*.AVI|MPEG Movie File (mpe)|*.mpe|Moving "
              "Picture Experts Group File (mpeg) |*.mpeg|Moving Picture Experts Group File  "
              "(mpg)|*.mpg|MPEG-4 Video File (mp4) |*.mp4|Apple QuickTime Movie (mov)|*.mov|"
              "Advanced Systems Format (asf) |*.asf|Microsoft ASF Redirector File (asx)|*.asx|"
              "Windows Media Video (wmv) |*.wmv|Apple QuickTime Movie (qt)|*.qt");
    EXPECT_EQ(editor_->edTitle->text(), "The Silent Orchard ");
    EXPECT_EQ(editor_->edIMDB->text(), importer_.MovieUrl.str().substr(11).c_str());
    EXPECT_EQ(editor_->edGenre->currentText(), "Drama");

    editor_->Button1Click();
    const MovieTag tag = ReadLastTagBytes(movie);
    EXPECT_TRUE(tag.HasMarker());
    EXPECT_EQ(tag.Title(), "The Silent Orchard");
    EXPECT_EQ(tag.GenreNumber(), 7);
    EXPECT_EQ(ReadFileBytes(movie).substr(0, 1000), std::string(1000, 'm'));

    // Show Tag starts from the file chosen last and shows what the file holds.
    editor_->edTitle->clear();
    prompts_.file_names = {movie};
    QTest::mouseClick(form_.ToolButton9, Qt::LeftButton);
    EXPECT_EQ(prompts_.dialogs.back().file_name, movie);
    EXPECT_EQ(editor_->showings, 2);
    EXPECT_EQ(editor_->edTitle->text(), "The Silent Orchard");
    EXPECT_TRUE(prompts_.errors.empty());

    // A name the editor could keep only cut is refused before anything is read or written.
    prompts_.file_names = {dir_.Dir() + std::string(300, 'f') + ".avi"};
    QTest::mouseClick(form_.ToolButton9, Qt::LeftButton);
    EXPECT_EQ(editor_->showings, 2);
    ASSERT_EQ(prompts_.errors.size(), 1u);
    EXPECT_THAT(prompts_.errors[0], HasSubstr("Cannot open file"));
}

}  // namespace
}  // namespace korvid
