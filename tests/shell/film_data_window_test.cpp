// The window and the local film data (offscreen): a failed lookup's cause, the offer of the
// film data after the site's browser check, About Korvid, the update run from the window with
// its progress and Cancel, and a database replaced or removed while the window is open.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <mutex>
#include <string>
#include <vector>

#include "client/film_data_disk.h"
#include "client/http.h"
#include "client/number_text.h"
#include "common/errors.h"
#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "dataset/sqlite_db.h"
#include "korvid_version.h"
#include "loopback/loopback_server.h"
#include "shell/MainUnit.h"
#include "shell/about_dialog.h"
#include "shell/application.h"
#include "shell/film_data_offer.h"
#include "shell/local_film_data.h"
#include "shell/remove_film_data.h"
#include "shell/update_dialog.h"
#include "shell/user_settings.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/fifo_guard.h"
#include "tests/support/held_open.h"
#include "tests/support/local_films.h"
#include "tests/support/scoped_env.h"
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
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string LocalStatus =
    std::string("OK - from the local film data. ") + dataset::CreditLine;

TApplication* App() {
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}

// Waits, taking events, until the condition holds; generous, so a slow machine passes.
bool WaitFor(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 60000);
}

// The local film rows with one title renamed: another build of the data.
test_support::DatasetRows RenamedRows() {
    test_support::DatasetRows rows = test_support::LocalFilmRows;
    for (std::string* file : {&rows.basics}) {
        for (std::size_t at = file->find("Joëlle"); at != std::string::npos;
             at = file->find("Joëlle")) {
            file->replace(at, std::string("Joëlle").size(), "Joanna");
        }
    }
    return rows;
}

// A loopback site that answers every search with one answer, and a server of its own that
// serves the five data-set files of a folder at /datasets/ as a file server does, slowly when
// asked. Each runs a test's step, when it has one, before it answers.
class FilmDataSite {
  public:
    explicit FilmDataSite(const std::string& dataset_folder) {
        for (const char* name : DatasetFileNames) {
            files_[name] = ReadFileBytes(dataset_folder + name);
        }
    }

    std::string HostPort() const { return server_.HostPort(); }
    std::string DatasetsUrl() const { return datasets_server_.BaseUrl() + "/datasets/"; }

    void AnswerSearchesWith(HttpResponse answer) {
        std::lock_guard lock(mutex_);
        search_answer_ = std::move(answer);
    }
    // Runs on the server's thread before each answer, told whether it is a data-set file's;
    // an empty function ends that.
    void BeforeAnswers(std::function<void(bool dataset)> step) {
        std::lock_guard lock(mutex_);
        before_ = std::move(step);
    }
    // Each data-set answer in pieces of this size with this pause before each.
    void Slow(std::size_t piece, std::chrono::milliseconds delay) {
        std::lock_guard lock(mutex_);
        piece_ = piece;
        delay_ = delay;
    }

  private:
    HttpResponse Answer(const HttpRequest& request) {
        const std::string prefix = "/datasets/";
        const bool dataset = request.target.rfind(prefix, 0) == 0;
        std::function<void(bool)> step;
        {
            std::lock_guard lock(mutex_);
            step = before_;
        }
        if (step) {
            step(dataset);
        }
        std::lock_guard lock(mutex_);
        if (!dataset) {
            return search_answer_;
        }
        const auto file = files_.find(request.target.substr(prefix.size()));
        if (file == files_.end()) {
            return HttpResponse::WithStatus(404, "Not Found", "");
        }
        HttpResponse response = loopback::ServeEntity(request, file->second, "\"v1\"",
                                                      "Sun, 06 Dec 2026 00:00:00 GMT");
        response.piece_size = piece_;
        response.piece_delay = delay_;
        return response;
    }

    std::mutex mutex_;
    std::map<std::string, std::string> files_;
    HttpResponse search_answer_ = HttpResponse::WithStatus(404, "Not Found", "");
    std::size_t piece_ = 0;
    std::chrono::milliseconds delay_{0};
    std::function<void(bool)> before_;
    LoopbackServer server_{[this](const HttpRequest& request) { return Answer(request); }};
    LoopbackServer datasets_server_{[this](const HttpRequest& request) { return Answer(request); }};
};

// About's dates read the same on every machine: Central European Time, in English.
struct FixedZone {
    test_support::ScopedEnv zone{"TZ", "CET-1"};
    FixedZone() {
        ::tzset();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    }
    ~FixedZone() { QLocale::setDefault(QLocale::system()); }
};

// The site's browser check: 202 with the header that asks for a browser.
HttpResponse BrowserCheck() {
    HttpResponse check = HttpResponse::WithStatus(202, "Accepted", "");
    check.headers.emplace_back("x-amzn-waf-action", "challenge");
    return check;
}
const HttpResponse NoFilmPage = HttpResponse::Ok("<html><head><title>The nothing</title>");

class FilmDataWindowTest : public ::testing::Test {
  protected:
    FilmDataWindowTest()
        : rows_(test_support::WriteDataset(datasets_.Path(), test_support::LocalFilmRows)),
          site_(datasets_.Dir()),
          importer_(prompts_),
          form_(importer_, prompts_, dir_.Dir(), site_.HostPort()) {
        App()->SetPrompts(&prompts_);
        form_.FilmData().SetPlaces({DbPath(), cache_.Dir(), site_.DatasetsUrl()});
        form_.FilmData().Watch();
        form_.show();
    }
    ~FilmDataWindowTest() override { App()->SetPrompts(nullptr); }

    std::string DbPath() const { return data_.File("films.sqlite"); }

    // Builds a database from the rows beside the path, then renames it over the path.
    void PutDatabase(const test_support::DatasetRows& rows) {
        TempDir files;
        const std::string built = data_.File("built.sqlite");
        dataset::BuildDatabase(test_support::WriteDataset(files.Path(), rows), built);
        ASSERT_EQ(::rename(built.c_str(), DbPath().c_str()), 0);
    }

    void Search(const QString& title) {
        form_.Title->setText(title);
        QTest::mouseClick(form_.ToolButton2, Qt::LeftButton);
    }
    std::string Status() const { return form_.StatusText().toStdString(); }

    TAboutDialog* OpenAbout() {
        QTest::mouseClick(form_.ToolButton11, Qt::LeftButton);
        return form_.FilmData().About();
    }

    // Starts the update from About Korvid and returns its progress dialog.
    TUpdateDialog* StartUpdate() {
        TAboutDialog* about = OpenAbout();
        EXPECT_NE(about, nullptr);
        QTest::mouseClick(about->UpdateButton, Qt::LeftButton);
        return form_.FilmData().Update();
    }

    FixedZone zone_;
    TempDir dir_;
    TempDir data_;
    TempDir cache_;
    TempDir datasets_;
    dataset::BuildSources rows_;
    FilmDataSite site_;
    ScriptedPrompts prompts_;
    TIMDBImport importer_;
    Tmovieform form_;
};

// ---- Say why ----

struct CauseCase {
    const char* name;
    HttpResponse answer;
    std::string cause;
};

class CauseLineTest : public FilmDataWindowTest, public ::testing::WithParamInterface<CauseCase> {};

TEST_P(CauseLineTest, AFailedLookupSaysWhyOnASecondLineAndTheStatusSaysItFailed) {
    PutDatabase(test_support::LocalFilmRows);
    ASSERT_EQ(::truncate(DbPath().c_str(), 0), 0);  // a file there that is no database
    site_.AnswerSearchesWith(GetParam().answer);
    Search("orchard");
    // A database is there, unreadable: the status says why the site answered, and only the
    // browser check, which an update would get past, offers to rebuild it.
    if (GetParam().cause == BrowserCheckCause) {
        ASSERT_EQ(prompts_.questions.size(), 1u);
        EXPECT_THAT(prompts_.questions[0].text, HasSubstr("The film database cannot be used ("));
        EXPECT_THAT(prompts_.questions[0].text, HasSubstr("rebuild it"));
        EXPECT_TRUE(prompts_.messages.empty());
    } else {
        EXPECT_TRUE(prompts_.questions.empty());
        EXPECT_THAT(prompts_.messages,
                    ElementsAre("Cannot Download Page From Website !\n" + GetParam().cause));
    }
    EXPECT_THAT(Status(), StartsWith("Lookup failed: " + GetParam().cause + " (from the site: "));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CauseLineTest,
    ::testing::Values(
        CauseCase{"BrowserCheck",
                  BrowserCheck(),
                  BrowserCheckCause},
        CauseCase{"NotFound", HttpResponse::WithStatus(404, "Not Found", "gone"),
                  "the site answered 404"},
        CauseCase{"Unavailable", HttpResponse::WithStatus(503, "Unavailable", ""),
                  "the site answered 503"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The offer, and the update it starts ----

TEST_F(FilmDataWindowTest, TheBrowserCheckWithoutADatabaseOffersTheFilmDataAndDownloadGetsIt) {
    site_.AnswerSearchesWith(BrowserCheck());

    prompts_.answers = {PromptAnswer::Cancel};  // "Not now"
    Search("joelle");
    ASSERT_EQ(prompts_.questions.size(), 1u);
    const ScriptedPrompts::Question& offer = prompts_.questions[0];
    EXPECT_THAT(offer.text, StartsWith("Cannot Download Page From Website !\n" +
                                       std::string(BrowserCheckCause) + "\n\n"));
    EXPECT_THAT(offer.text, HasSubstr("the official files (about 1.7 GB)"));
    EXPECT_THAT(offer.text, HasSubstr("takes about 4.3 GB of disk, and about 6.9 GB while"));
    EXPECT_THAT(offer.text, HasSubstr("personal and non-commercial use"));
    EXPECT_THAT(offer.text, EndsWith(dataset::CreditLine));
    EXPECT_EQ(offer.ok_button, "&Download");  // Alt+D
    EXPECT_EQ(offer.cancel_button, "Not now");
    // Enter means "Not now": a stray key starts no download of gigabytes.
    EXPECT_EQ(offer.default_choice, DefaultChoice::Second);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(Status(), "Lookup failed: " + std::string(BrowserCheckCause));
    QCoreApplication::processEvents();
    EXPECT_EQ(form_.FilmData().Update(), nullptr);

    // Asked once a run: the next lookup points at About Korvid's button instead.
    Search("joelle");
    EXPECT_EQ(prompts_.questions.size(), 1u);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_THAT(prompts_.messages[0], EndsWith(std::string(BrowserCheckCause) + "; " +
                                               FilmDataPointer));

    TAboutDialog* about = OpenAbout();
    ASSERT_NE(about, nullptr);
    QTest::mouseClick(about->UpdateButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return form_.FilmData().Update() != nullptr; }));
    TUpdateDialog* update = form_.FilmData().Update();
    ASSERT_TRUE(WaitFor([&] { return !update->Running(); }));
    EXPECT_EQ(update->StepLabel->text().toStdString(),
              "The film data is ready: 9 titles, 6 names.");

    // The new data answers at once.
    EXPECT_TRUE(importer_.HasFilmDatabase());
    Search("joelle");
    EXPECT_EQ(Status(), LocalStatus);
    EXPECT_EQ(form_.Label4->text(), "Year : 2004");
}

// ---- About Korvid ----

TEST_F(FilmDataWindowTest, AboutKorvidTellsTheVersionTheCreditAndTheFilmDataState) {
    TAboutDialog* about = OpenAbout();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), "About Korvid");
    EXPECT_EQ(about->VersionLabel->text(), "Korvid " KORVID_VERSION);
    EXPECT_EQ(about->CreditLabel->text(), QString::fromLatin1(dataset::CreditLine));
    EXPECT_EQ(about->StateLabel->text().toStdString(),
              "There is no film data yet: Korvid has no film database at " + DbPath() + ".");
    EXPECT_EQ(about->UpdateButton->text(), "Get the film data");
    EXPECT_EQ(about->StateLabel->textFormat(), Qt::PlainText);

    // The covers setting is the user's, kept between sessions.
    const bool fetch = FetchCoversOnline();
    EXPECT_EQ(about->CoversCheckBox->isChecked(), fetch);
    about->CoversCheckBox->click();
    EXPECT_EQ(FetchCoversOnline(), !fetch);
    about->CoversCheckBox->click();
    EXPECT_EQ(FetchCoversOnline(), fetch);

    PutDatabase(test_support::LocalFilmRows);
    test_support::WriteFileBytes(cache_.File("title.basics.tsv.gz"), std::string(2'000'000, 'x'));
    test_support::WriteFileBytes(cache_.File("notes.txt"), "mine");
    about->close();
    QCoreApplication::processEvents();
    about = OpenAbout();
    ASSERT_NE(about, nullptr);
    const std::string state = about->StateLabel->text().toStdString();
    EXPECT_THAT(state, StartsWith("Film database built "));
    EXPECT_THAT(state, HasSubstr("\nTitles: 9, names: 6\n"));
    EXPECT_THAT(state, HasSubstr("\n  title.basics.tsv.gz  6 December 2026, 01:00"));
    EXPECT_THAT(state, HasSubstr("\n  name.basics.tsv.gz  6 December 2026, 01:00"));
    EXPECT_EQ(about->UpdateButton->text(), "Update the film data");

    // Where the film data is, what it takes of the disk, its removal on Yes, a folder build.
    EXPECT_EQ(about->PlacesLabel->text().toStdString(),
              "The database: " + DbPath() + " (" +
                  DiskSizeText(std::filesystem::file_size(DbPath())) + ")\nThe downloads: " +
                  cache_.Dir() + " (2 MB)");
    EXPECT_THAT(about->DiskLabel->text().toStdString(),
                StartsWith("The film data needs about 6.9 GB of disk: the downloads 1.7 GB, the "
                           "database about 2.6 GB, and as much again while an update builds the "
                           "new one.\nFree: "));

    // Asked first, with Keep as what Enter presses; only Remove removes.
    for (const PromptAnswer answer : {PromptAnswer::Cancel, PromptAnswer::Ok}) {
        prompts_.answers.push_back(answer);
        QTest::mouseClick(about->RemoveButton, Qt::LeftButton);
        ASSERT_FALSE(prompts_.questions.empty());
        EXPECT_EQ(prompts_.questions.back().caption, RemoveQuestionCaption);
        EXPECT_EQ(prompts_.questions.back().default_choice, DefaultChoice::Second);
        EXPECT_THAT(prompts_.questions.back().text, HasSubstr(DbPath()));
        EXPECT_EQ(FileExists(DbPath()), answer == PromptAnswer::Cancel);
    }
    EXPECT_FALSE(FileExists(cache_.File("title.basics.tsv.gz")));
    EXPECT_EQ(ReadFileBytes(cache_.File("notes.txt")), "mine");
    EXPECT_FALSE(importer_.HasFilmDatabase());
    EXPECT_THAT(about->StateLabel->text().toStdString(),
                StartsWith("The film data was removed on "));
    EXPECT_FALSE(about->RemoveButton->isEnabled());
    EXPECT_EQ(about->UpdateButton->text(), "Get the film data");

    // Files fetched elsewhere: the folder picked builds the film data from them.
    about->PickFolder = [this] { return std::optional<std::string>(datasets_.Path()); };
    QTest::mouseClick(about->FolderButton, Qt::LeftButton);
    TUpdateDialog* update = form_.FilmData().Update();
    ASSERT_NE(update, nullptr);
    ASSERT_TRUE(WaitFor([&] { return !update->Running(); }));
    EXPECT_THAT(update->StepLabel->text().toStdString(), StartsWith("The film data is ready"));
    EXPECT_TRUE(importer_.HasFilmDatabase());
    EXPECT_THAT(about->StateLabel->text().toStdString(), StartsWith("Film database built "));
    EXPECT_FALSE(FileExists(cache_.File("title.basics.tsv.gz")));
}

// ---- The update from the window ----

TEST_F(FilmDataWindowTest, AnUpdateShowsEachStepAndItsBytesThenAnswersAtOnce) {
    site_.Slow(64, std::chrono::milliseconds(1));
    TUpdateDialog* update = StartUpdate();
    ASSERT_NE(update, nullptr);
    // Every step reaches the window, however often the core reports within one. The download
    // is shown as a whole: its bar never goes back at a new file.
    std::vector<std::pair<UpdateProgress::Step, int>> steps;
    std::string details;
    std::vector<int> bar;
    QObject::connect(
        &update->Worker(), &TUpdateWorker::Progressed, update,
        [&](const UpdateProgress& progress) {
            const std::pair step(progress.step, progress.file_number);
            if (steps.empty() || steps.back() != step) {
                steps.push_back(step);
            }
            if (progress.step == UpdateProgress::Step::Download) {
                details = update->DetailLabel->text().toStdString();
                bar.push_back(update->ProgressBar->value());
            }
        },
        Qt::QueuedConnection);
    ASSERT_TRUE(WaitFor([&] { return !update->Running(); }));
    using Step = UpdateProgress::Step;
    // The worker starts with the dialog, so its first report may come before this test
    // listens: the first file's download is not asked for.
    for (int file = 1; file <= 5; ++file) {
        if (file > 1) {
            EXPECT_THAT(steps, Contains(std::pair(Step::Download, file))) << file;
        }
        EXPECT_THAT(steps, Contains(std::pair(Step::Build, file))) << file;
    }
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back(), std::pair(Step::Index, 0));
    std::uint64_t all_bytes = 0;
    for (const char* name : DatasetFileNames) {
        all_bytes += std::filesystem::file_size(cache_.File(name));
    }
    EXPECT_THAT(details, StartsWith(MegabytesText(all_bytes) + " of " +
                                    MegabytesText(all_bytes) + " in all"));
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end())) << ::testing::PrintToString(bar);
    EXPECT_EQ(update->StepLabel->text(), "The film data is ready: 9 titles, 6 names.");
    EXPECT_EQ(update->CancelButton->text(), "Close");
    EXPECT_EQ(form_.FilmData().About()->UpdateButton->text(), "Update the film data");
    EXPECT_TRUE(importer_.HasFilmDatabase());
    EXPECT_EQ(Status(), "The film data is ready: lookups answer from it");
}

TEST_F(FilmDataWindowTest, CancelKeepsTheOldDatabaseAndThePartsDownloaded) {
    PutDatabase(RenamedRows());
    const std::string old_bytes = ReadFileBytes(DbPath());
    site_.Slow(16, std::chrono::milliseconds(100));
    TUpdateDialog* update = StartUpdate();
    ASSERT_NE(update, nullptr);
    ASSERT_TRUE(WaitFor([&] { return update->DetailLabel->text().contains(" of "); }));
    QTest::mouseClick(update->CancelButton, Qt::LeftButton);
    EXPECT_FALSE(update->CancelButton->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return !update->Running(); }));
    EXPECT_EQ(update->StepLabel->text(), "The update was cancelled; the film data is as it was.");
    EXPECT_TRUE(ReadFileBytes(DbPath()) == old_bytes) << "the old database changed";
    EXPECT_TRUE(FileExists(cache_.File("title.basics.tsv.gz.part")));
    // The window still answers from the old data.
    Search("joanna");
    EXPECT_EQ(Status(), LocalStatus);
}

// Download in the offer: once the update is done, the search that led to it answers again
// by itself, from the new data.
TEST_F(FilmDataWindowTest, TheSearchThatLedToTheOfferAnswersOnceTheDataIsThere) {
    site_.AnswerSearchesWith(BrowserCheck());
    prompts_.answers = {PromptAnswer::Ok};  // "Download"
    Search("joelle");
    ASSERT_TRUE(WaitFor([&] { return form_.FilmData().Update() != nullptr; }));
    ASSERT_TRUE(WaitFor([&] { return Status() == LocalStatus; }));
    EXPECT_EQ(form_.Label4->text(), "Year : 2004");
}

// An update that ends in the middle of a lookup, and an error box asked for then: the window
// takes its events during the lookup's download, so the update's end, queued by its worker,
// reaches the window inside the lookup's progress callback. The importer's database changes,
// and the box opens, only once the lookup has returned.
TEST_F(FilmDataWindowTest, AnUpdateThatEndsDuringALookupChangesTheDatabaseOnlyAfterIt) {
    site_.AnswerSearchesWith(NoFilmPage);
    test_support::Gate search_asked;
    test_support::Gate update_ended;
    // The update starts its downloads once the lookup has asked the site, and the site answers
    // the lookup once the update has ended.
    site_.BeforeAnswers([&](bool dataset) {
        if (dataset) {
            search_asked.Wait();
            return;
        }
        search_asked.Open();
        TApplication::ReportErrorLater(std::make_exception_ptr(FileCreateError("/x/y.xml")));
        update_ended.Wait();
    });
    TUpdateDialog* update = StartUpdate();
    ASSERT_NE(update, nullptr);
    QObject::connect(
        &update->Worker(), &TUpdateWorker::Finished, &update->Worker(),
        [&] { update_ended.Open(); }, Qt::DirectConnection);
    bool ended_during_lookup = false;
    bool database_at_the_end = true;
    QObject::connect(update, &TUpdateDialog::Ended, update, [&] {
        ended_during_lookup = form_.LookupRunning();
        database_at_the_end = importer_.HasFilmDatabase();
    });

    form_.Title->setText("joelle");
    form_.Button1Click();
    EXPECT_TRUE(ended_during_lookup);
    EXPECT_FALSE(database_at_the_end);
    EXPECT_FALSE(importer_.HasFilmDatabase());
    EXPECT_EQ(Status(), "No film found");
    EXPECT_TRUE(prompts_.errors.empty());

    QCoreApplication::processEvents();
    EXPECT_TRUE(importer_.HasFilmDatabase());
    EXPECT_EQ(Status(), "The film data is ready: lookups answer from it");
    EXPECT_THAT(prompts_.errors, ElementsAre("Cannot create file /x/y.xml"));
    site_.BeforeAnswers({});
}

// A lookup while the first download runs says the film data is on its way.
TEST_F(FilmDataWindowTest, ALookupDuringTheFirstDownloadSaysTheFilmDataIsOnItsWay) {
    site_.AnswerSearchesWith(BrowserCheck());
    site_.Slow(16, std::chrono::milliseconds(50));
    TUpdateDialog* update = StartUpdate();
    ASSERT_NE(update, nullptr);
    ASSERT_TRUE(WaitFor([&] { return update->DetailLabel->text().contains(" of "); }));
    Search("joelle");
    EXPECT_TRUE(prompts_.questions.empty());
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_THAT(prompts_.messages[0], HasSubstr("the film data is on its way (file 1 of 6)"));
    EXPECT_THAT(prompts_.messages[0], EndsWith(OnItsWayNote));
    QTest::mouseClick(update->CancelButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !update->Running(); }));
}

// Closing the window or Go Away (Ctrl+Q) while an update runs asks first; "Go on" (Enter) keeps both.
TEST_F(FilmDataWindowTest, QuittingDuringAnUpdateAsksFirst) {
    site_.Slow(16, std::chrono::milliseconds(50));
    TUpdateDialog* update = StartUpdate();
    ASSERT_NE(update, nullptr);
    form_.show();
    prompts_.answers = {PromptAnswer::Cancel};  // "Go on"
    QTest::mouseClick(form_.ToolButton13, Qt::LeftButton);  // Go Away, as Ctrl+Q
    ASSERT_EQ(prompts_.questions.size(), 1u);
    EXPECT_EQ(prompts_.questions[0].text, UpdateRunningQuestion);
    EXPECT_EQ(prompts_.questions[0].default_choice, DefaultChoice::Second);
    EXPECT_TRUE(form_.isVisible());
    EXPECT_TRUE(update->Running());

    prompts_.answers = {PromptAnswer::Ok};  // "Stop it and quit"
    EXPECT_TRUE(form_.close());
    EXPECT_FALSE(form_.isVisible());
    QTest::mouseClick(update->CancelButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !update->Running(); }));
}

// A new database far smaller than the one there, in titles (against a database that kept no
// row counts) or in one file's rows, is refused, and the dialog offers to put it in place all
// the same, naming what it replaces.
TEST_F(FilmDataWindowTest, ANewDatabaseRefusedForItsSizeCanReplaceTheOldOneAnyway) {
    test_support::DatasetRows many;
    for (int i = 0; i < 30; ++i) {
        many.basics += "tt93000" + std::to_string(10 + i) + "\tmovie\tOld Film " +
                       std::to_string(i) + "\tOld Film " + std::to_string(i) +
                       "\t0\t1990\t\\N\t90\tDrama\n";
    }
    for (const auto& [rows_known, refusal] :
         {std::pair{false, "the new film database holds 9 titles, fewer than half the 30"},
          std::pair{true, "title.basics.tsv.gz: the new file holds fewer than half the rows "
                          "of the copy the film database was built from (9 of 30)"}}) {
        SCOPED_TRACE(refusal);
        PutDatabase(many);
        if (!rows_known) {
            dataset::SqliteConnection(DbPath(), SQLITE_OPEN_READWRITE)
                .Exec("DELETE FROM meta WHERE key LIKE 'rows:%'");
        }
        TUpdateDialog* update = StartUpdate();
        ASSERT_NE(update, nullptr);
        ASSERT_TRUE(WaitFor([&] { return !update->Running(); }));
        EXPECT_TRUE(update->ReplaceButton->isVisible());
        EXPECT_THAT(update->DetailLabel->text().toStdString(), StartsWith(refusal));
        EXPECT_THAT(update->DetailLabel->text().toStdString(), HasSubstr("replaces " + DbPath()));
        EXPECT_EQ(dataset::FilmDatabase(DbPath()).Status().titles, 30);

        QTest::mouseClick(update->ReplaceButton, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] {
            return !update->Running() && !update->ReplaceButton->isVisible() &&
                   update->StepLabel->text().startsWith("The film data is");
        }));
        EXPECT_EQ(dataset::FilmDatabase(DbPath()).Status().titles, 9);
    }
}

TEST_F(FilmDataWindowTest, ASecondUpdateOnTheSameCacheSaysAnotherIsRunning) {
    site_.Slow(16, std::chrono::milliseconds(50));
    TUpdateDialog* first = StartUpdate();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(WaitFor([&] { return first->DetailLabel->text().contains(" of "); }));
    DatasetDownloadOptions options;
    options.source = site_.DatasetsUrl();
    options.cache_folder = cache_.Dir();
    options.db_path = DbPath();
    TUpdateDialog second(options, &form_);
    ASSERT_TRUE(WaitFor([&] { return !second.Running(); }));
    EXPECT_EQ(second.DetailLabel->text(), "another update is running");
    QTest::mouseClick(first->CancelButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !first->Running(); }));
}

// ---- A database that changes under the window ----

TEST_F(FilmDataWindowTest, ADatabaseThatAppearsIsReplacedOrIsRemovedIsFollowedAtTheNextLookup) {
    site_.AnswerSearchesWith(NoFilmPage);
    Search("joelle");
    EXPECT_EQ(Status(), "No film found");

    PutDatabase(test_support::LocalFilmRows);  // appears
    Search("joelle");
    EXPECT_EQ(Status(), LocalStatus);
    EXPECT_EQ(form_.Label3->text(), QString::fromUtf8("Title : Joëlle "));

    PutDatabase(RenamedRows());  // replaced, as korvid-cli dataset update does
    Search("joanna");
    EXPECT_EQ(Status(), LocalStatus);
    EXPECT_EQ(form_.Label3->text(), "Title : Joanna ");

    ASSERT_EQ(::unlink(DbPath().c_str()), 0);  // removed
    Search("joanna");
    EXPECT_EQ(Status(), "No film found (from the site: the film database was removed)");
    Search("joanna");
    EXPECT_EQ(Status(), "No film found");

    test_support::WriteFileBytes(DbPath(), "not a database");  // unreadable
    Search("joanna");
    EXPECT_THAT(Status(), StartsWith("No film found (from the site: "));
    EXPECT_TRUE(prompts_.messages.empty());
}

// What keeps the database from opening at once: a FIFO at its path (true), or an open that
// does not end (false).
class OpenCaseTest : public FilmDataWindowTest, public ::testing::WithParamInterface<bool> {};

// The window waits for its database no longer than the open limit, and never on a FIFO: the
// site answers, and the file is not tried again until it changes.
TEST_P(OpenCaseTest, TheSiteAnswersAndTheFileIsLeftAloneUntilItChanges) {
    const bool fifo = GetParam();
    site_.AnswerSearchesWith(NoFilmPage);
    test_support::FifoGuard guard(DbPath());
    {
        PutDatabase(test_support::LocalFilmRows);
        std::optional<test_support::HeldOpen> held;
        if (fifo) {
            EXPECT_EQ(::unlink(DbPath().c_str()), 0);
            EXPECT_EQ(::mkfifo(DbPath().c_str(), 0600), 0);
        } else {
            held.emplace(std::chrono::milliseconds(200));
        }
        const std::string status =
            "No film found (from the site: " + DbPath() +
            (fifo ? ": a FIFO, not a film database file)"
                  : ": the film database did not open within 0.2 seconds)");
        for (int lookup = 0; lookup < 2; ++lookup) {
            Search("joelle");
            EXPECT_EQ(Status(), status);
        }
        EXPECT_LE(dataset::OpensRunning(), 1);
    }
    // An open given up on has ended on its own and left the importer alone.
    EXPECT_TRUE(test_support::HeldOpen::WaitForOpens());
    EXPECT_FALSE(importer_.HasFilmDatabase());
    EXPECT_FALSE(guard.Released()) << "blocked on the FIFO";
    EXPECT_TRUE(prompts_.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, OpenCaseTest, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "AFifo" : "AnOpenThatDoesNotEnd");
});

TEST_F(FilmDataWindowTest, ADatabaseThatFailsDuringALookupGivesWayToTheSite) {
    PutDatabase(test_support::LocalFilmRows);
    site_.AnswerSearchesWith(NoFilmPage);
    // Opened by someone else's hand, then spoilt in place: the watch sees nothing new.
    form_.FilmData().SetPlaces({data_.File("elsewhere.sqlite"), cache_.Dir(), ""});
    form_.FilmData().Watch();
    importer_.UseFilmDatabase(std::make_shared<const dataset::FilmDatabase>(DbPath()));
    test_support::WriteFileBytes(DbPath(), std::string(1 << 16, 'x'));
    Search("lantern");
    EXPECT_THAT(Status(), StartsWith("No film found (from the site: the database"));
    EXPECT_FALSE(importer_.HasFilmDatabase());
    EXPECT_TRUE(prompts_.errors.empty());
}

}  // namespace
}  // namespace korvid
