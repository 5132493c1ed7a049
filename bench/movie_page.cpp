// ParseMoviePage on a film page of about 100 KB, beside a baseline in the same run: one
// memchr scan over the same lines. The page is the complete sample film with filler markup
// between its head and its body, so every search from line 0 crosses the filler.

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>

#include "bench/page_baseline.h"
#include "client/IMDBImport.h"
#include "tests/support/loopback_server.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace {

using korvid::TIMDBImport;
using korvid::testing::HttpRequest;
using korvid::testing::HttpResponse;
using korvid::testing::LoopbackServer;
using korvid::testing::ScriptedPrompts;
using korvid::testing::TempDir;

constexpr std::size_t PageSize = 100 * 1024;

std::string ReadSamplePage() {
    std::ifstream in(std::string(KORVID_SOURCE_DIR) + "/tests/data/film-complete.html",
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The sample page with filler lines after "<body>" up to about 100 KB; the cover address
// names cover_host, or is empty when cover_host is.
void FillPage(TIMDBImport& importer, const std::string& cover_host) {
    std::string page = ReadSamplePage();
    page = cover_host.empty() ? ReplaceAll(page, "http://@HOST@/covers/silent-orchard.jpg", "")
                              : ReplaceAll(page, "@HOST@", cover_host);
    const std::string filler_line =
        "<tr class=\"even\"><td class=\"nm\"><a href=\"/name/nm0999999/\">Crowd Extra</a></td>"
        "<td class=\"ddd\"> ... </td><td class=\"char\">Passer-by</td></tr>\r\n";
    std::string filler;
    while (page.size() + filler.size() < PageSize) {
        filler += filler_line;
    }
    const std::size_t body = page.find("<body>\r\n") + 8;
    page.insert(body, filler);
    importer.PageLines.SetText(page);
}

// The parse empties PageLines only for a page without a title line; a real film page stays.
void RunParse(benchmark::State& state, TIMDBImport& importer) {
    for (auto _ : state) {
        importer.ParseMoviePage();
        benchmark::DoNotOptimize(importer.CsvLines.Lines().data());
    }
    if (importer.Rated != "7.9/10" || importer.CastTrueName != "Marten Holloway") {
        state.SkipWithError("the page was not read as expected");
    }
    state.SetBytesProcessed(state.iterations() * korvid::bench::PageBytes(importer.PageLines));
}

void BM_ParseMoviePage(benchmark::State& state) {
    ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    TempDir app_dir;
    importer.AppDir = app_dir.Dir();
    FillPage(importer, "");
    RunParse(state, importer);
}
BENCHMARK(BM_ParseMoviePage);

// The same with the cover downloaded from a loopback server on every parse.
void BM_ParseMoviePageWithCover(benchmark::State& state) {
    const std::string cover(20 * 1024, '\x5A');
    LoopbackServer server(
        [&cover](const HttpRequest&) { return HttpResponse::Ok(cover, "image/jpeg"); });
    ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    TempDir app_dir;
    importer.AppDir = app_dir.Dir();
    FillPage(importer, server.HostPort());
    RunParse(state, importer);
    if (importer.PosterFile.empty()) {
        state.SkipWithError("the cover was not downloaded");
    }
}
BENCHMARK(BM_ParseMoviePageWithCover)->Unit(benchmark::kMicrosecond);

void BM_MemchrBaseline(benchmark::State& state) {
    ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    FillPage(importer, "");
    korvid::bench::RunMemchrBaseline(state, importer.PageLines);
}
BENCHMARK(BM_MemchrBaseline);

}  // namespace

BENCHMARK_MAIN();
