// What a front end shows of a running update: the step in words, the bytes, the rate and the
// time left, measured per step from the times the reports came.

#include <gtest/gtest.h>

#include <chrono>
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
};

UpdateProgress Progress(Step step, const char* file, std::uint64_t bytes, std::uint64_t total,
                        int number, std::uint64_t rows = 0) {
    UpdateProgress progress;
    progress.step = step;
    progress.file = file;
    progress.bytes = bytes;
    progress.total = total;
    progress.file_number = number;
    progress.rows = rows;
    return progress;
}

class UpdateMeterTest : public ::testing::TestWithParam<MeterCase> {};

TEST_P(UpdateMeterTest, TellsTheStepTheBytesTheRateAndTheTimeLeft) {
    UpdateMeter meter;
    const UpdateMeter::Clock::time_point start{};
    for (const Report& report : GetParam().reports) {
        meter.Take(report.progress, start + milliseconds(report.at_ms));
    }
    EXPECT_EQ(meter.StepText(), GetParam().step);
    EXPECT_EQ(meter.DetailText(), GetParam().detail);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, UpdateMeterTest,
    ::testing::Values(
        MeterCase{"NothingYet", {}, "Starting", ""},
        MeterCase{"FirstReportHasNoRateYet",
                  {{Progress(Step::Download, "title.basics.tsv.gz", 2'000'000, 10'000'000, 1), 0}},
                  "File 1 of 6: title.basics.tsv.gz, downloading",
                  "2.0 MB of 10.0 MB"},
        MeterCase{"RateAndTimeLeftFromWhereTheStepBegan",
                  {{Progress(Step::Download, "title.crew.tsv.gz", 1'000'000, 9'000'000, 3), 0},
                   {Progress(Step::Download, "title.crew.tsv.gz", 3'000'000, 9'000'000, 3), 2000}},
                  "File 3 of 6: title.crew.tsv.gz, downloading",
                  "3.0 MB of 9.0 MB, 1.0 MB/s, 0:06 left"},
        MeterCase{"ANewFileStartsItsOwnRate",
                  {{Progress(Step::Download, "title.crew.tsv.gz", 9'000'000, 9'000'000, 3), 0},
                   {Progress(Step::Download, "name.basics.tsv.gz", 500, 0, 5), 100}},
                  "File 5 of 6: name.basics.tsv.gz, downloading",
                  "0.5 kB"},
        MeterCase{"TheBuildCountsItsRows",
                  {{Progress(Step::Build, "title.basics.tsv.gz", 0, 4'000'000, 1, 0), 0},
                   {Progress(Step::Build, "title.basics.tsv.gz", 2'000'000, 4'000'000, 1, 7),
                    1000}},
                  "File 1 of 6: title.basics.tsv.gz, building",
                  "2.0 MB of 4.0 MB, 7 rows, 2.0 MB/s, 0:01 left"},
        MeterCase{"TheIndexesHaveNoBytes",
                  {{Progress(Step::Index, "", 0, 0, 0), 0}},
                  "Building the indexes",
                  ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvid
