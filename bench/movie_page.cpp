// ParseMoviePage on film pages of about 100 KB and 10 MB, beside a baseline in the same run:
// one memchr pass over the same bytes. The page is the complete sample film with filler markup
// between its head and its body, so every search from line 0 crosses the filler.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "bench/page_baseline.h"
#include "client/IMDBImport.h"
#include "common/filter_kernel.h"
#include "common/text.h"
#include "loopback/loopback_server.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace {

using korvid::TIMDBImport;
using korvid::loopback::HttpRequest;
using korvid::loopback::HttpResponse;
using korvid::loopback::LoopbackServer;
using korvid::test_support::ScriptedPrompts;
using korvid::test_support::TempDir;
using korvid::test_support::WriteFileBytes;

// The page sizes measured: about 100 KB and about 10 MB.
constexpr std::int64_t Small = 100 * 1024;
constexpr std::int64_t Large = 10 * 1024 * 1024;

void FillPage(TIMDBImport& importer, std::int64_t size, const std::string& cover_host) {
    importer.PageLines.SetText(korvid::bench::FilmPage(static_cast<std::size_t>(size), cover_host));
}

// The parse empties PageLines only for a page without a title line; a real film page stays.
void RunParse(benchmark::State& state, TIMDBImport& importer) {
    for (auto _ : state) {
        importer.ParseMoviePage();
        benchmark::DoNotOptimize(importer.CsvLines.Buffer().data());
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
    FillPage(importer, state.range(0), "");
    RunParse(state, importer);
}
// Size 0: the sample film alone, the fixed cost of a parse.
BENCHMARK(BM_ParseMoviePage)->Arg(0)->Arg(Small)->Arg(Large)->Unit(benchmark::kMicrosecond);

// The same parse with the filters forced onto 128-bit vectors (the marker filter on SSSE3,
// the pair filter on SSE2) and onto portable code (no marker table then: one pair-filtered
// search per marker).
void BM_ParseMoviePageFilterKernel(benchmark::State& state) {
    ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    TempDir app_dir;
    importer.AppDir = app_dir.Dir();
    FillPage(importer, state.range(0), "");
    korvid::SetFilterKernel(static_cast<korvid::FilterKernel>(state.range(1)));
    RunParse(state, importer);
    korvid::SetFilterKernel(korvid::FilterKernel::Best);
}
BENCHMARK(BM_ParseMoviePageFilterKernel)
    ->ArgNames({"bytes", "kernel"})
    ->Args({Large, static_cast<int>(korvid::FilterKernel::Vector128)})
    ->Args({Large, static_cast<int>(korvid::FilterKernel::Portable)})
    ->Unit(benchmark::kMicrosecond);

// The same parse with the plain line-by-line search and no marker table.
void BM_ParseMoviePagePlainSearch(benchmark::State& state) {
    ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    importer.UsePlainLineSearch(true);
    TempDir app_dir;
    importer.AppDir = app_dir.Dir();
    FillPage(importer, state.range(0), "");
    RunParse(state, importer);
}
BENCHMARK(BM_ParseMoviePagePlainSearch)->Arg(Small)->Arg(Large)->Unit(benchmark::kMicrosecond);

// A genre line of a million bare link ends (5 MB): the genre loop walks it once.
void BM_ParseLongGenreLine(benchmark::State& state) {
    ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    TempDir app_dir;
    importer.AppDir = app_dir.Dir();
    std::string line;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        line += "</a> ";
    }
    const std::string page =
        "<title>G (2000)</title>\n<b class=\"ch\">Genre:</b>\n" + line + "<a>(more)</a>\n";
    for (auto _ : state) {
        importer.PageLines.SetText(page);
        importer.ParseMoviePage();
        benchmark::DoNotOptimize(importer.XmlLines.Buffer().data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_ParseLongGenreLine)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Loading the page into lines, from a string.
void BM_LoadPage(benchmark::State& state) {
    const std::string page = korvid::bench::FilmPage(static_cast<std::size_t>(state.range(0)), "");
    korvid::LineList lines;
    for (auto _ : state) {
        lines.SetText(page);
        benchmark::DoNotOptimize(lines.Buffer().data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_LoadPage)->Arg(Small)->Arg(Large)->Unit(benchmark::kMicrosecond);

// A page as a lookup meets it: LoadFromFile of the downloaded page, then the parse.
void BM_LoadAndParseFile(benchmark::State& state) {
    TempDir dir;
    const std::string path = dir.File("imdbtemp.htm");
    WriteFileBytes(path, korvid::bench::FilmPage(static_cast<std::size_t>(state.range(0)), ""));
    ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    importer.AppDir = dir.Dir();
    for (auto _ : state) {
        importer.PageLines.LoadFromFile(path);
        importer.ParseMoviePage();
        benchmark::DoNotOptimize(importer.CsvLines.Buffer().data());
    }
    if (importer.Rated != "7.9/10" || importer.CastTrueName != "Marten Holloway") {
        state.SkipWithError("the page was not read as expected");
    }
    state.SetBytesProcessed(state.iterations() * korvid::bench::PageBytes(importer.PageLines));
}
BENCHMARK(BM_LoadAndParseFile)->Arg(Small)->Arg(Large)->Unit(benchmark::kMicrosecond);

// The floor of the two above: the same file read into a fresh buffer of its size, then one
// memchr pass over it.
void BM_ReadFileMemchrFloor(benchmark::State& state) {
    TempDir dir;
    const std::string path = dir.File("imdbtemp.htm");
    const std::string page = korvid::bench::FilmPage(static_cast<std::size_t>(state.range(0)), "");
    WriteFileBytes(path, page);
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        std::unique_ptr<char[]> buffer(new char[page.size()]);
        std::size_t filled = 0;
        while (filled < page.size()) {
            const ssize_t got = ::read(fd, buffer.get() + filled, page.size() - filled);
            if (got <= 0) {
                break;
            }
            filled += static_cast<std::size_t>(got);
        }
        ::close(fd);
        if (filled != page.size()) {
            state.SkipWithError("the page could not be read");
            break;
        }
        const void* found = std::memchr(buffer.get(), '\x01', filled);
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_ReadFileMemchrFloor)->Arg(Small)->Arg(Large)->Unit(benchmark::kMicrosecond);

// The same with the cover downloaded from a loopback server on every parse.
void BM_ParseMoviePageWithCover(benchmark::State& state) {
    const std::string cover(20 * 1024, '\x5A');
    LoopbackServer server(
        [&cover](const HttpRequest&) { return HttpResponse::Ok(cover, "image/jpeg"); });
    ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    TempDir app_dir;
    importer.AppDir = app_dir.Dir();
    FillPage(importer, Small, server.HostPort());
    RunParse(state, importer);
    if (importer.PosterFile.empty()) {
        state.SkipWithError("the cover was not downloaded");
    }
}
BENCHMARK(BM_ParseMoviePageWithCover)->Unit(benchmark::kMicrosecond);

void BM_MemchrBaseline(benchmark::State& state) {
    ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    FillPage(importer, state.range(0), "");
    korvid::bench::RunMemchrBaseline(state, importer.PageLines);
}
BENCHMARK(BM_MemchrBaseline)->Arg(Small)->Arg(Large)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
