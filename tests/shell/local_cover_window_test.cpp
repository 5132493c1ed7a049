// The main window's covers of films from the local film data (offscreen): the fields show at
// once, the cover follows from a suggestion service on loopback and the documents name it; a
// service that fails leaves the cover empty and the status bar says why after the credit line;
// a new lookup drops a cover still on its way; with the setting off nothing is asked.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "loopback/loopback_server.h"
#include "shell/MainUnit.h"
#include "shell/application.h"
#include "shell/jpeg_image.h"
#include "shell/local_cover.h"
#include "shell/picture.h"
#include "shell/user_settings.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/all_lines.h"
#include "tests/support/local_films.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using loopback::HttpRequest;
using loopback::HttpResponse;
using test_support::ScriptedPrompts;
using test_support::TempDir;

const QString LocalStatus =
    QString("OK - from the local film data. ") + QString::fromLatin1(dataset::CreditLine);

std::string SampleCover() {
    std::ifstream file(std::string(KORVID_SOURCE_DIR) + "/sample-site/pages/covers/tt9000010.jpg",
                       std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

TApplication* App() {
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}

// The suggestion service's answer for Joëlle (tt9100005), given the server's base address.
using Answer = std::function<HttpResponse(const std::string& base)>;

HttpResponse OwnEntry(const std::string& picture) {
    return HttpResponse::Ok(R"({"d":[{"i":{"imageUrl":")" + picture +
                            R"(","width":1,"height":2},"id":"tt9100005","l":"Joelle"}]})");
}

class LocalCoverWindowTest : public ::testing::Test {
  protected:
    LocalCoverWindowTest()
        : server_([this](const HttpRequest& request) { return Serve(request); }),
          suggest_("KORVID_SUGGEST_URL", server_.BaseUrl()),
          importer_(prompts_),
          form_(importer_, prompts_, dir_.Dir(), "127.0.0.1:9") {
        const std::string path = dir_.File("films.sqlite");
        dataset::BuildDatabase(test_support::WriteDataset(dir_.Path(), test_support::LocalFilmRows),
                               path);
        importer_.UseFilmDatabase(std::make_shared<const dataset::FilmDatabase>(path));
        SetFetchCoversOnline(true);
        App()->SetPrompts(&prompts_);
        form_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form_));
    }
    ~LocalCoverWindowTest() override { App()->SetPrompts(nullptr); }

    HttpResponse Serve(const HttpRequest& request) {
        if (request.target == "/suggestion/x/tt9100005.json") {
            return answer_ ? answer_(server_.BaseUrl()) : HttpResponse::Ok("{}");
        }
        if (request.target.rfind("/images/", 0) == 0) {
            return HttpResponse::Ok(cover_, "image/jpeg");
        }
        return HttpResponse::WithStatus(404, "Not Found", "");
    }

    void Search(const QString& title) {
        form_.Title->setText(title);
        QTest::mouseClick(form_.ToolButton2, Qt::LeftButton);
    }

    // Waits until the status bar says more than the lookup's done status, or the cover shows.
    bool CoverFetchEnded() {
        return QTest::qWaitFor([this] {
            return !form_.Image1->Picture().Empty() || form_.StatusText().contains("no cover: ");
        });
    }

    Answer answer_;
    std::string cover_ = SampleCover();
    loopback::LoopbackServer server_;
    test_support::ScopedEnv suggest_;
    TempDir dir_;
    ScriptedPrompts prompts_;
    TIMDBImport importer_;
    Tmovieform form_;
};

TEST_F(LocalCoverWindowTest, TheCoverFollowsTheFieldsAndTheDocumentsNameIt) {
    answer_ = [](const std::string& base) { return OwnEntry(base + "/images/M/J@._V1_.jpg"); };
    Search("joelle");
    EXPECT_EQ(form_.Label4->text(), "Year : 2004");
    EXPECT_EQ(form_.plotmemo->toPlainText(), "");
    EXPECT_EQ(form_.plotmemo->placeholderText(), LocalPlotPlaceholder);
    ASSERT_TRUE(CoverFetchEnded()) << form_.StatusText().toStdString();
    EXPECT_FALSE(form_.Image1->Picture().Empty());
    EXPECT_EQ(form_.StatusText(), LocalStatus);
    const std::string cover = dir_.Dir() + "Jo\xC3\xABlle .jpg";  // named in UTF-8
    EXPECT_EQ(importer_.PosterFile.str(), cover);
    EXPECT_THAT(test_support::AllLines(importer_.XmlLines),
                ::testing::Contains("<Poster_Image>" + cover + "</Poster_Image>"));
    // The picture was asked for at twice the cover box's height.
    bool sized = false;
    for (const HttpRequest& request : server_.Requests()) {
        sized = sized || request.target == "/images/M/J@._V1_UY468_.jpg";
    }
    EXPECT_TRUE(sized);
    // The cover goes with its film: a search that lists titles shows none.
    Search("lantern road");
    EXPECT_TRUE(form_.Image1->Picture().Empty());
    EXPECT_TRUE(prompts_.messages.empty());
}

// The picture is decoded on the cover fetch's thread, not the window's: the window only
// paints the image it is handed.
TEST_F(LocalCoverWindowTest, TheCoverIsDecodedOffTheWindowsThread) {
    answer_ = [](const std::string& base) { return OwnEntry(base + "/images/M/J@._V1_.jpg"); };
    Search("joelle");
    ASSERT_TRUE(CoverFetchEnded()) << form_.StatusText().toStdString();
    const auto* picture = dynamic_cast<const TJPEGImage*>(form_.Image1->Picture().Graphic());
    ASSERT_NE(picture, nullptr);
    EXPECT_NE(picture->DecodedOn(), std::thread::id());
    EXPECT_NE(picture->DecodedOn(), std::this_thread::get_id());
    EXPECT_GT(picture->Width(), 0);
}

TEST_F(LocalCoverWindowTest, NoCoverSaysWhyAfterTheCreditAndTheLookupStaysOK) {
    const struct {
        const char* name;
        Answer answer;
        const char* why;
    } cases[] = {
        {"404", [](const std::string&) { return HttpResponse::WithStatus(404, "Not Found", ""); },
         "the service answered 404"},
        {"html", [](const std::string&) { return HttpResponse::Ok("<html>Sorry</html>"); },
         "the service's answer is not JSON"},
        {"browser check",
         [](const std::string&) { return HttpResponse::WithStatus(202, "Accepted", ""); },
         "the site asked for a browser check"},
        {"another id",
         [](const std::string& base) {
             return HttpResponse::Ok(R"({"d":[{"i":{"imageUrl":")" + base +
                                     R"(/images/M/J@._V1_.jpg"},"id":"tt9100001"}]})");
         },
         "the service does not know the film"},
        {"another host",
         [](const std::string&) { return OwnEntry("https://m.media-amazon.com/J@._V1_.jpg"); },
         "the cover is not on the image host"},
        {"another scheme",
         [](const std::string& base) {
             return OwnEntry("ftp" + base.substr(4) + "/images/M/J@._V1_.jpg");
         },
         "the cover is not on the image host"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        answer_ = c.answer;
        Search("joelle");
        ASSERT_TRUE(CoverFetchEnded());
        EXPECT_EQ(form_.StatusText(), LocalStatus + " no cover: " + c.why);
        EXPECT_TRUE(form_.Image1->Picture().Empty());
        EXPECT_EQ(form_.Label3->text(), QString::fromUtf8("Title : Joëlle "));
        EXPECT_EQ(importer_.PosterFile.str(), "");
    }
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(LocalCoverWindowTest, ANewLookupDropsTheCoverOnItsWay) {
    answer_ = [](const std::string& base) {
        HttpResponse slow = OwnEntry(base + "/images/M/J@._V1_.jpg");
        slow.piece_size = 8;
        slow.piece_delay = std::chrono::milliseconds(40);
        return slow;
    };
    Search("joelle");
    Search("alien");  // another film, before the first one's cover has arrived
    EXPECT_EQ(form_.Label3->text(), "Title : Alien ");
    // Long enough for the first fetch to have ended, had it not been dropped.
    QTest::qWait(1500);
    EXPECT_TRUE(form_.Image1->Picture().Empty());
    EXPECT_EQ(importer_.PosterFile.str(), "");
    // Alien's own fetch ended: the service does not answer for it.
    EXPECT_EQ(form_.StatusText(), LocalStatus + " no cover: the service answered 404");
}

TEST_F(LocalCoverWindowTest, WithTheSettingOffNothingIsAsked) {
    SetFetchCoversOnline(false);
    answer_ = [](const std::string& base) { return OwnEntry(base + "/images/M/J@._V1_.jpg"); };
    Search("joelle");
    QTest::qWait(300);
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_TRUE(form_.Image1->Picture().Empty());
    EXPECT_EQ(form_.StatusText(), LocalStatus + " no cover: fetching covers online is off");
    SetFetchCoversOnline(true);
}

}  // namespace
}  // namespace korvid
