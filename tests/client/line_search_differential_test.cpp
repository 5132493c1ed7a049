// The page search against the plain one, on random and mutated pages with a fixed seed: the
// pair filter and the marker filter (every kernel) against a naive search, FindLine against
// the line-by-line scan, and ParseMoviePage with its one-pass marker table against the parse
// on the line-by-line scan, comparing every field, LineIndex, the XML and CSV documents and
// any error.

#include <gtest/gtest.h>

#include <algorithm>
#include <exception>
#include <random>
#include <string>
#include <vector>

#include "client/IMDBImport.h"
#include "client/marker_filter.h"
#include "common/filter_kernel.h"
#include "common/text.h"
#include "loopback/loopback_server.h"
#include "tests/support/parse_outcome.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"
#include "tests/support/all_lines.h"

namespace korvid {
namespace {

using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::LoopbackServer;
using test_support::AllLines;
using test_support::ReadFileBytes;
using test_support::ScriptedPrompts;
using test_support::TempDir;

// The same seed every run, so a failure repeats.
constexpr unsigned Seed = 15;

std::size_t NaiveFind(std::string_view text, const std::string& upper_needle, std::size_t from) {
    if (upper_needle.empty() || from > text.size()) {
        return std::string_view::npos;
    }
    return UpperAsciiCopy(text).find(upper_needle, from);
}

std::string RandomText(std::mt19937& random, std::string_view alphabet, std::size_t max_length) {
    std::string text(std::uniform_int_distribution<std::size_t>(0, max_length)(random), ' ');
    for (char& c : text) {
        c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    }
    return text;
}

// Flips the case of about half of the letters.
std::string Recase(std::mt19937& random, std::string text) {
    for (char& c : text) {
        if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && random() % 2 == 0) {
            c = static_cast<char>(c ^ 0x20);
        }
    }
    return text;
}

// Letters in both cases, bytes that fold onto others with 0x20 ('@' and '`', 0x02 and '"'),
// line breaks and a byte above 127: matches and near-misses are frequent.
constexpr std::string_view Alphabet = "aAbB<>/\"\x02@`:\r\n \xE9";

// Runs each test once per filter kernel.
class KernelTest : public ::testing::TestWithParam<FilterKernel> {
  protected:
    void SetUp() override { SetFilterKernel(GetParam()); }
    void TearDown() override { SetFilterKernel(FilterKernel::Best); }
};

std::string KernelName(const ::testing::TestParamInfo<FilterKernel>& info) {
    switch (info.param) {
        case FilterKernel::Best:
            return "Best";
        case FilterKernel::Vector128:
            return "Vector128";
        case FilterKernel::Portable:
            break;
    }
    return "Portable";
}

const auto Kernels = ::testing::Values(FilterKernel::Best, FilterKernel::Vector128,
                                       FilterKernel::Portable);

using PairFilterDifferentialTest = KernelTest;

TEST_P(PairFilterDifferentialTest, FindsWhatANaiveSearchFinds) {
    std::mt19937 random(Seed);
    for (int round = 0; round < 3000; ++round) {
        const std::string text = RandomText(random, Alphabet, round % 10 == 0 ? 300 : 60);
        std::vector<std::string> needles;
        for (int n = 0; n < 4; ++n) {
            std::string needle = RandomText(random, Alphabet, 5);
            if (!text.empty() && random() % 2 == 0) {  // a piece of the text, re-cased
                const std::size_t at = random() % text.size();
                needle = Recase(random, text.substr(at, 1 + random() % 6));
            }
            needles.push_back(UpperAsciiCopy(needle));
        }
        const std::size_t from = text.empty() ? 0 : random() % (text.size() + 2);
        for (std::size_t n = 0; n < needles.size(); ++n) {
            ASSERT_EQ(FindIgnoringCase(text, needles[n], from), NaiveFind(text, needles[n], from))
                << "text \"" << text << "\" needle \"" << needles[n] << "\" from " << from;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, PairFilterDifferentialTest, Kernels, KernelName);

using MarkerFilterDifferentialTest = KernelTest;

// Sets of up to a dozen needles (short ones, ones longer than the text, empty ones, pieces of
// the text re-cased) on texts long enough for many vector blocks and their tails.
TEST_P(MarkerFilterDifferentialTest, FindsWhatANaiveSearchFindsForEachNeedle) {
    std::mt19937 random(Seed);
    for (int round = 0; round < 1500; ++round) {
        const std::string text = RandomText(random, Alphabet, round % 10 == 0 ? 3000 : 200);
        std::vector<std::string> needles(random() % 13);
        for (std::string& needle : needles) {
            needle = RandomText(random, Alphabet, 6);
            if (!text.empty() && random() % 3 != 0) {
                needle = Recase(random, text.substr(random() % text.size(), 1 + random() % 9));
            }
            needle = UpperAsciiCopy(needle);
        }
        const MarkerFilter filter(needles);
        const std::vector<std::size_t> found = filter.FindFirst(text);
        ASSERT_EQ(found.size(), needles.size());
        for (std::size_t n = 0; n < needles.size(); ++n) {
            ASSERT_EQ(found[n], NaiveFind(text, needles[n], 0))
                << "text \"" << text << "\" needle \"" << needles[n] << "\"";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, MarkerFilterDifferentialTest, Kernels, KernelName);

TEST(FindLineDifferentialTest, AgreesWithTheLineByLineScan) {
    std::mt19937 random(Seed);
    ScriptedPrompts prompts;
    TIMDBImport fast(prompts);
    TIMDBImport plain(prompts);
    plain.UsePlainLineSearch(true);
    for (int round = 0; round < 1500; ++round) {
        const std::string text = RandomText(random, Alphabet, 400);
        fast.PageLines.SetText(text);
        plain.PageLines.SetText(text);
        if (round % 4 == 0) {
            // A line added whole may hold a line break of its own.
            const std::string whole = RandomText(random, Alphabet, 20);
            fast.PageLines.Add(whole);
            plain.PageLines.Add(whole);
        }
        for (int n = 0; n < 6; ++n) {
            std::string marker = RandomText(random, Alphabet, 4);
            if (!text.empty() && n % 2 == 0) {
                marker = Recase(random, text.substr(random() % text.size(), 1 + random() % 4));
            }
            const int start = static_cast<int>(random() % (fast.PageLines.Count() + 3)) - 1;
            fast.FindLine(marker, start);
            plain.FindLine(marker, start);
            ASSERT_EQ(fast.LineIndex, plain.LineIndex)
                << "page \"" << text << "\" marker \"" << marker << "\" start " << start;
        }
    }
}

std::vector<std::string> SplitLines(const std::string& text) {
    LineList list;
    list.SetText(text);
    return AllLines(list);
}

// Drops, doubles, re-cases, pads and shuffles lines of a page, and joins them with one of
// the three line breaks.
std::string Mutate(std::mt19937& random, std::vector<std::string> lines) {
    const int mutations = 1 + static_cast<int>(random() % 6);
    for (int m = 0; m < mutations && !lines.empty(); ++m) {
        const std::size_t at = random() % lines.size();
        switch (random() % 6) {
            case 0:
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
                break;
            case 1:
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), lines[at]);
                break;
            case 2:
                lines[at] = Recase(random, lines[at]);
                break;
            case 3:
                lines[at].insert(random() % (lines[at].size() + 1),
                                 std::string(random() % 400, random() % 2 ? ' ' : 'x'));
                break;
            case 4:
                std::swap(lines[at], lines[random() % lines.size()]);
                break;
            default: {
                const std::size_t end = std::min(lines.size(), at + 1 + random() % 12);
                std::shuffle(lines.begin() + static_cast<std::ptrdiff_t>(at),
                             lines.begin() + static_cast<std::ptrdiff_t>(end), random);
            }
        }
    }
    const char* const breaks[] = {"\r\n", "\n", "\r"};
    const char* line_break = breaks[random() % 3];
    std::string page;
    for (const std::string& line : lines) {
        page += line + line_break;
    }
    return page;
}

using ParseMoviePageDifferentialTest = KernelTest;

TEST_P(ParseMoviePageDifferentialTest, MarkerTableReadsEveryPageAsTheLineScanDoes) {
    const std::string cover = "cover bytes";
    LoopbackServer server([&cover](const HttpRequest&) { return HttpResponse::Ok(cover); });
    std::vector<std::vector<std::string>> samples;
    for (const char* name :
         {"film-complete.html", "film-no-genre.html", "film-no-poster.html", "film-no-year.html"}) {
        std::string page = ReadFileBytes(std::string(KORVID_TEST_DATA_DIR) + "/" + name);
        for (std::size_t at = page.find("@HOST@"); at != std::string::npos;
             at = page.find("@HOST@")) {
            page.replace(at, 6, server.HostPort());
        }
        samples.push_back(SplitLines(page));
    }
    TempDir app_dir;
    ScriptedPrompts prompts;
    TIMDBImport fast(prompts);
    TIMDBImport plain(prompts);
    plain.UsePlainLineSearch(true);
    for (TIMDBImport* importer : {&fast, &plain}) {
        importer->AppDir = app_dir.Dir();  // the same cover paths for both
        importer->SetClock([] { return std::time_t{1773489600}; });
    }
    std::mt19937 random(Seed);
    // The importers carry their fields from page to page, as a run of imports does, so the
    // values a missing marker leaves in place are compared too.
    for (int round = 0; round < 250; ++round) {
        const std::string page = Mutate(random, samples[random() % samples.size()]);
        const test_support::ParseOutcome expected = test_support::ParseAndRecord(plain, page);
        ASSERT_EQ(test_support::ParseAndRecord(fast, page), expected)
            << "round " << round << ", page:\n"
            << page;
    }
}

// Without vectors the parse makes no marker table.
INSTANTIATE_TEST_SUITE_P(Kernels, ParseMoviePageDifferentialTest,
                         ::testing::Values(FilterKernel::Best, FilterKernel::Vector128),
                         KernelName);

}  // namespace
}  // namespace korvid
