// What a front end shows of a running update: the step in words, the bytes, the rate, the
// time left and the bar, from the reports and the times they came: the download measured as
// a whole, the build per file.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "client/update_meter.h"

namespace korvid {
namespace {

using Step = UpdateProgress::Step;
using std::chrono::milliseconds;

struct Report {
    UpdateProgress progress;
    int at_ms;
};

struct MeterCase {
    const char* name;
    std::vector<Report> reports;
    std::string step;
    std::string detail;
    std::optional<double> fraction;  // none: no bar
};

UpdateProgress Progress(Step step, const char* file, std::uint64_t bytes, std::uint64_t total,
                        int number, int count = 6, std::uint64_t held = 0,
                        std::uint64_t rows = 0) {
    return {step, file, bytes, total, rows, number, count, held};
}

constexpr const char* Basics = "title.basics.tsv.gz";
constexpr const char* Ratings = "title.ratings.tsv.gz";

class UpdateMeterTest : public ::testing::TestWithParam<MeterCase> {};

TEST_P(UpdateMeterTest, TellsTheStepTheBytesTheRateTheTimeLeftAndTheBar) {
    UpdateMeter meter;
    const UpdateMeter::Clock::time_point start{};
    for (const Report& report : GetParam().reports) {
        meter.Take(report.progress, start + milliseconds(report.at_ms));
    }
    EXPECT_EQ(meter.StepText(), GetParam().step);
    EXPECT_EQ(meter.DetailText(), GetParam().detail);
    EXPECT_DOUBLE_EQ(meter.Fraction().value_or(-1), GetParam().fraction.value_or(-1));
}

// The files of these downloads are expected at 215 MB (basics), 8 MB (ratings) and 1,500 MB
// for the other four together.
INSTANTIATE_TEST_SUITE_P(
    Reports, UpdateMeterTest,
    ::testing::Values(
        MeterCase{"NothingYet", {}, "Starting", "", std::nullopt},
        MeterCase{"FilesNotAnsweredCountAtTheirExpectedSizesAndGiveNoTimeLeft",
                  {{Progress(Step::Download, Basics, 1'000'000, 10'000'000, 1), 0},
                   {Progress(Step::Download, Basics, 3'000'000, 10'000'000, 1), 2000}},
                  "File 1 of 6: title.basics.tsv.gz, downloading",
                  "3.0 MB of about 1,518.0 MB in all, 1.5 MB/s",
                  3.0 / 1518},
        MeterCase{"TheBarRateAndTimeLeftGoOnAtTheNextFile",
                  {{Progress(Step::Download, Basics, 2'000'000, 2'000'000, 1, 2), 0},
                   {Progress(Step::Download, Basics, 2'000'000, 2'000'000, 1, 2, 2'000'000), 500},
                   {Progress(Step::Download, Ratings, 2'000'000, 10'000'000, 2, 2), 2000}},
                  "File 2 of 2: title.ratings.tsv.gz, downloading",
                  "4.0 MB of 12.0 MB in all, 2.0 MB/s, 0:04 left",
                  4.0 / 12},
        MeterCase{"NoTimeLeftWhileTheServerDidNotTellTheLength",
                  {{Progress(Step::Download, Basics, 5'000'000, 5'000'000, 1, 2, 5'000'000), 0},
                   {Progress(Step::Download, Ratings, 1'000'000, 0, 2, 2), 0},
                   {Progress(Step::Download, Ratings, 9'000'000, 0, 2, 2), 2000}},
                  "File 2 of 2: title.ratings.tsv.gz, downloading",
                  "14.0 MB of about 14.0 MB in all, 4.5 MB/s",
                  1.0},
        MeterCase{"AResumedPartAndAnUnchangedCopyAreDoneButNoSpeed",
                  {{Progress(Step::Download, Basics, 5'000'000, 5'000'000, 1, 2, 5'000'000), 0},
                   {Progress(Step::Download, Ratings, 5'000'000, 10'000'000, 2, 2, 4'000'000), 0},
                   {Progress(Step::Download, Ratings, 7'000'000, 10'000'000, 2, 2, 4'000'000),
                    1000}},
                  "File 2 of 2: title.ratings.tsv.gz, downloading",
                  "12.0 MB of 15.0 MB in all, 3.0 MB/s, 0:01 left",
                  12.0 / 15},
        MeterCase{"TheBuildIsMeasuredPerFileWithItsRows",
                  {{Progress(Step::Download, Ratings, 9'000'000, 9'000'000, 2, 2), 0},
                   {Progress(Step::Build, Basics, 0, 4'000'000, 1, 2), 3000},
                   {Progress(Step::Build, Basics, 2'000'000, 4'000'000, 1, 2, 0, 1'234'567),
                    4000}},
                  "File 1 of 2: title.basics.tsv.gz, building",
                  "2.0 MB of 4.0 MB, 1,234,567 rows, 2.0 MB/s, 0:01 left",
                  0.5},
        MeterCase{"TheIndexesHaveNoBytes",
                  {{Progress(Step::Index, "", 0, 0, 0), 0}},
                  "Building the indexes",
                  "",
                  std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvid
