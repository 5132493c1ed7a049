// FindLine over a page of about 1 MB, beside a baseline in the same run: one memchr pass
// over the same bytes. The ratio of the two is the cost of the case-insensitive search.
// Beside them the pair filter on 128-bit vectors and on portable code, and the plain
// line-by-line scan.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/page_baseline.h"
#include "client/IMDBImport.h"
#include "common/filter_kernel.h"
#include "common/text.h"
#include "tests/support/scripted_prompts.h"

namespace {

using korvid::TIMDBImport;

// About 1 MB of page-like lines; the marker stands only in the last line.
void FillPage(TIMDBImport& importer) {
    importer.PageLines.Clear();
    const std::string line =
        "<tr><td class=\"nm\"><a href=\"/name/nm0000001/\">Some Actor</a></td><td>...</td></tr>";
    std::string page;
    while (page.size() < 1024 * 1024) {
        page += line + "\r\n";
    }
    page += "<b>8.1/10</b>";
    importer.PageLines.SetText(page);
}

void RunFindLine(benchmark::State& state, bool plain, korvid::FilterKernel kernel) {
    korvid::test_support::ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    importer.UsePlainLineSearch(plain);
    korvid::SetFilterKernel(kernel);
    FillPage(importer);
    for (auto _ : state) {
        importer.FindLine("/10</b>", 0);
        benchmark::DoNotOptimize(importer.LineIndex);
    }
    korvid::SetFilterKernel(korvid::FilterKernel::Best);
    if (importer.LineIndex != importer.PageLines.Count() - 1) {
        state.SkipWithError("marker not found on the last line");
    }
    state.SetBytesProcessed(state.iterations() * korvid::bench::PageBytes(importer.PageLines));
}

void BM_FindLine(benchmark::State& state) {
    RunFindLine(state, false, korvid::FilterKernel::Best);
}
BENCHMARK(BM_FindLine);

void BM_FindLineVector128Filter(benchmark::State& state) {
    RunFindLine(state, false, korvid::FilterKernel::Vector128);
}
BENCHMARK(BM_FindLineVector128Filter);

void BM_FindLinePortableFilter(benchmark::State& state) {
    RunFindLine(state, false, korvid::FilterKernel::Portable);
}
BENCHMARK(BM_FindLinePortableFilter);

void BM_FindLinePlainScan(benchmark::State& state) {
    RunFindLine(state, true, korvid::FilterKernel::Best);
}
BENCHMARK(BM_FindLinePlainScan);

void BM_MemchrBaseline(benchmark::State& state) {
    korvid::test_support::ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    FillPage(importer);
    korvid::bench::RunMemchrBaseline(state, importer.PageLines);
}
BENCHMARK(BM_MemchrBaseline);

}  // namespace

BENCHMARK_MAIN();
