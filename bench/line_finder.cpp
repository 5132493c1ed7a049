// FindLine over a page of about 1 MB, beside a baseline in the same run: one memchr scan
// over the same lines. The ratio of the two is the cost of the case-insensitive search.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/page_baseline.h"
#include "client/IMDBImport.h"
#include "tests/support/scripted_prompts.h"

namespace {

using korvid::TIMDBImport;

// About 1 MB of page-like lines; the marker stands only in the last line.
void FillPage(TIMDBImport& importer) {
    importer.PageLines.Clear();
    const std::string line =
        "<tr><td class=\"nm\"><a href=\"/name/nm0000001/\">Some Actor</a></td><td>...</td></tr>";
    std::size_t bytes = 0;
    while (bytes < 1024 * 1024) {
        importer.PageLines.Add(line);
        bytes += line.size();
    }
    importer.PageLines.Add("<b>8.1/10</b>");
}

void BM_FindLine(benchmark::State& state) {
    korvid::testing::ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    FillPage(importer);
    for (auto _ : state) {
        importer.FindLine("/10</b>", 0);
        benchmark::DoNotOptimize(importer.LineIndex);
    }
    if (importer.LineIndex != importer.PageLines.Count() - 1) {
        state.SkipWithError("marker not found on the last line");
    }
    state.SetBytesProcessed(state.iterations() * korvid::bench::PageBytes(importer.PageLines));
}
BENCHMARK(BM_FindLine);

void BM_MemchrBaseline(benchmark::State& state) {
    korvid::testing::ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    FillPage(importer);
    korvid::bench::RunMemchrBaseline(state, importer.PageLines);
}
BENCHMARK(BM_MemchrBaseline);

}  // namespace

BENCHMARK_MAIN();
