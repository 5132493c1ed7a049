// ParseResultList on result lists of 1,000 and 10,000 entries. Every line is read once and
// a split entry reads its next line once more, so the time must grow linearly with the
// number of entries; the complexity fit below reports it.

#include <benchmark/benchmark.h>

#include <string>

#include "client/IMDBImport.h"
#include "tests/support/scripted_prompts.h"

namespace {

using korvid::TIMDBImport;

// A result list in the forms the sample site writes: plain entries, entries with a cover
// link before the text link, and every tenth entry split over two lines. The list runs to
// the last line of the page, so the page stays loaded for the next iteration.
void FillList(TIMDBImport& importer, int entries) {
    importer.PageLines.Clear();
    importer.PageLines.Add("<html><head><title>IMDb title search</title></head><body>");
    importer.PageLines.Add("<h2>Popular Results</h2>");
    importer.PageLines.Add("<ol class=\"results\">");
    for (int i = 0; i < entries; ++i) {
        const std::string id = "tt" + std::to_string(1000000 + i);
        const std::string link = "<a href=\"/title/" + id + "/\">";
        const std::string title = "Film number " + std::to_string(i) + " &amp; friends";
        if (i % 10 == 9) {
            importer.PageLines.Add("<li>" + link + title + "</a>");
            importer.PageLines.Add("    (1990)</li>");
        } else if (i % 2 == 0) {
            importer.PageLines.Add("<li>" + link + "<img src=\"http://127.0.0.1/covers/" + id +
                                   ".jpg\" width=\"23\" height=\"32\" alt=\"cover\"></a>" + link +
                                   title + "</a> (1990)</li>");
        } else {
            importer.PageLines.Add("<li>" + link + title + "</a> (1990)</li>");
        }
    }
    importer.PageLines.Add("</ol>");
}

void BM_ParseResultList(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    korvid::test_support::ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    importer.Host = "127.0.0.1:8642";
    FillList(importer, entries);
    for (auto _ : state) {
        importer.ResultTitles.Clear();
        importer.ResultUrls.Clear();
        importer.ParseResultList();
        benchmark::DoNotOptimize(importer.ResultTitles.Count());
    }
    if (importer.ResultTitles.Count() != entries || importer.ResultUrls.Count() != entries) {
        state.SkipWithError("the list did not yield one entry per film");
    }
    state.SetItemsProcessed(state.iterations() * entries);
    state.SetComplexityN(entries);
}
BENCHMARK(BM_ParseResultList)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
