// korvid-cli search with --pick, end to end against the sample site on loopback: a process
// start, the search page, the film page and the cover, the parse and the printed film. Beside
// it in the same run: the process start alone, the same lookup in-process through the
// importer, and baselines that fetch the same three addresses with libcurl alone and with
// Korvid's HTTP layer.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <string>
#include <vector>

#include "bench/child_run.h"
#include "client/IMDBImport.h"
#include "client/http.h"
#include "sample-site/sample_site.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"


namespace {

const std::string Cli = KORVID_BINARY_DIR "/cli/korvid-cli";

// The lookup measured: "orchard" gives a list of two; entry 0 is a film with a cover.
constexpr const char* Title = "orchard";

korvid::sample::RunningSampleSite& Site() {
    static korvid::sample::RunningSampleSite site;
    return site;
}

// Runs korvid-cli and returns its exit code; its output goes to /dev/null.
int RunCli(const std::vector<std::string>& args) {
    std::vector<std::string> all = args;
    all.insert(all.begin(), Cli);
    return korvid::bench::RunQuietly(all).exit_code;
}

void BM_KorvidCliSearchPick(benchmark::State& state) {
    korvid::test_support::TempDir dir;
    const std::vector<std::string> args = {"search", "--host", Site().HostPort(), "--pick",
                                           "0",      "--dir",  dir.Path(),        Title};
    for (auto _ : state) {
        if (RunCli(args) != 0) {
            state.SkipWithError("korvid-cli search failed");
            break;
        }
    }
}
BENCHMARK(BM_KorvidCliSearchPick)->Unit(benchmark::kMillisecond)->UseRealTime();

// The process start alone: korvid-cli search --help loads the same libraries and downloads
// nothing.
void BM_KorvidCliStartOnly(benchmark::State& state) {
    for (auto _ : state) {
        if (RunCli({"search", "--help"}) != 0) {
            state.SkipWithError("korvid-cli did not start");
            break;
        }
    }
}
BENCHMARK(BM_KorvidCliStartOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImporterSearchPick(benchmark::State& state) {
    korvid::test_support::TempDir dir;
    korvid::test_support::ScriptedPrompts prompts;
    korvid::TIMDBImport importer(prompts);
    importer.AppDir = dir.Dir();
    importer.Host = Site().HostPort();
    for (auto _ : state) {
        importer.Title = Title;
        if (!importer.SearchTitle() || !importer.ImportResult(0) || importer.PosterFile.empty()) {
            state.SkipWithError("the lookup failed");
            break;
        }
    }
}
BENCHMARK(BM_ImporterSearchPick)->Unit(benchmark::kMillisecond)->UseRealTime();

extern "C" std::size_t CountBytes(char* /*data*/, std::size_t size, std::size_t count, void* user) {
    *static_cast<std::size_t*>(user) += size * count;
    return size * count;
}

// One GET with a fresh easy handle, as every download of Korvid has; the body is counted.
std::size_t CurlGet(const std::string& url) {
    CURL* curl = curl_easy_init();
    std::size_t bytes = 0;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CountBytes);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, static_cast<void*>(&bytes));
    const CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return code == CURLE_OK ? bytes : 0;
}

// The three addresses one lookup with --pick fetches: the search, the film page, the cover.
std::vector<std::string> LookupAddresses() {
    const std::string base = Site().BaseUrl();
    return {base + "/find?s=all&q=" + Title, base + "/title/tt9000003/",
            base + "/covers/tt9000003.jpg"};
}

void BM_CurlBaseline(benchmark::State& state) {
    const std::vector<std::string> urls = LookupAddresses();
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& url : urls) {
            const std::size_t got = CurlGet(url);
            if (got == 0) {
                state.SkipWithError("a download failed");
                break;
            }
            bytes += got;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_CurlBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same three addresses through Korvid's own HTTP layer, into memory: the difference to
// the libcurl baseline is the cost of its settings, the rest of the importer's is files and
// parsing.
void BM_HttpLayerBaseline(benchmark::State& state) {
    const std::vector<std::string> urls = LookupAddresses();
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& url : urls) {
            std::size_t got = 0;
            const korvid::TransferInfo info =
                korvid::HttpGet(url, [&got](const char*, std::size_t size) {
                    got += size;
                    return true;
                });
            if (!info.complete || got == 0) {
                state.SkipWithError("a download failed");
                break;
            }
            bytes += got;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_HttpLayerBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    korvid::HttpGlobalInit();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
