// korvid-cli scan over 1,000 movie files against the sample site on loopback, with no delay:
// the time per file beside one korvid-cli search --pick and one korvid-cli tag --search run,
// both a process of their own, in the same run.
//
// The files are 100 folders of the same ten names, in the styles people give their films:
// six direct hits, three entries taken from a result list (two by the year, one by the equal
// title), an exact-title film, an ambiguous name and an unknown one. --replace makes every
// iteration look up and write every file again.
//
// The same names in 1,000 folders (10,000 files) are scanned on the local film database too,
// built from the sample site's data set, beside one korvid-cli --version: a process start.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "sample-site/sample_site.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string Cli = KORVID_BINARY_DIR "/cli/korvid-cli";
constexpr int Shelves = 100;

const std::vector<std::string> Names = {
    "The.Glass.Orchard.2003.720p.x264.avi",  // a direct hit
    "Glass Orchard, The (2003).avi",         // the same, "Title, The"
    "Lantern.Road.1971.DVDRip.mov",          // a list, decided by the year
    "Lantern Road [2019].wmv",               // the same list, the other year
    "Canyon.mp4",                            // a list, the one equal title
    "Brass Lantern, The (1983).mpg",         // found only by its exact title
    "Night_Ferry_1964.avi",                  // a list, decided by the year
    "Harbour.Lights.Revisited.1994.avi",     // a direct hit
    "Lantern Road.avi",                      // ambiguous: two of that title, no year
    "Zebra.Crossing.2001.avi",               // not found
};

korvid::sample::RunningSampleSite& Site() {
    static korvid::sample::RunningSampleSite site;
    return site;
}

int RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), Cli);
    return korvid::bench::RunQuietly(args).exit_code;
}

// Writes shelves folders of the ten names under films.
void WriteShelves(const std::string& films, int shelves) {
    const std::string movie(4096, 'm');
    for (int shelf = 0; shelf < shelves; ++shelf) {
        const std::string folder = films + "/shelf-" + std::to_string(shelf);
        std::filesystem::create_directories(folder);
        for (const std::string& name : Names) {
            korvid::test_support::WriteFileBytes(folder + "/" + name, movie);
        }
    }
}

void ReportPerFile(benchmark::State& state, int shelves) {
    const double files = static_cast<double>(shelves) * static_cast<double>(Names.size());
    state.counters["per_file"] = benchmark::Counter(
        files, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_KorvidCliScan1000Files(benchmark::State& state) {
    korvid::test_support::TempDir dir;
    const std::string films = dir.File("films");
    WriteShelves(films, Shelves);
    const std::vector<std::string> args = {
        "scan",      "--recursive",     "--replace", "--delay", "0",       "--source",
        "site",      "--host",          Site().HostPort(),      "--dir",   dir.Path(),
        films};
    for (auto _ : state) {
        // 1: the ambiguous and the unknown names are reported, every other file is tagged.
        if (RunCli(args) != 1) {
            state.SkipWithError("korvid-cli scan failed");
            break;
        }
    }
    ReportPerFile(state, Shelves);
}
BENCHMARK(BM_KorvidCliScan1000Files)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// 10,000 files on the local film database: no request, no pause; a lookup is a query.
void BM_KorvidCliScan10000FilesLocal(benchmark::State& state) {
    constexpr int LocalShelves = 1000;
    korvid::test_support::TempDir dir;
    const std::string database = dir.File("films.sqlite");
    // The update's download cache goes into the temporary folder, never the user's own.
    ::setenv("XDG_CACHE_HOME", dir.File("cache").c_str(), 1);
    if (RunCli({"dataset", "update", "--from", Site().BaseUrl() + "/datasets/", "--db",
                database}) != 0) {
        state.SkipWithError("korvid-cli dataset update failed");
        return;
    }
    const std::string films = dir.File("films");
    WriteShelves(films, LocalShelves);
    const std::vector<std::string> args = {"scan",    "--recursive", "--replace",
                                           "--source", "local",      "--db",
                                           database,   "--dir",      dir.Path(),
                                           films};
    for (auto _ : state) {
        const int code = RunCli(args);
        if (code != 0 && code != 1) {
            state.SkipWithError("korvid-cli scan failed");
            break;
        }
    }
    ReportPerFile(state, LocalShelves);
}
BENCHMARK(BM_KorvidCliScan10000FilesLocal)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// A process start and nothing else, the floor under every korvid-cli run.
void BM_KorvidCliVersion(benchmark::State& state) {
    for (auto _ : state) {
        if (RunCli({"--version"}) != 0) {
            state.SkipWithError("korvid-cli --version failed");
            break;
        }
    }
}
BENCHMARK(BM_KorvidCliVersion)->Unit(benchmark::kMillisecond)->UseRealTime();

// One lookup and the printed film in a process of its own: a list, then entry 0.
void BM_KorvidCliSearchPick(benchmark::State& state) {
    korvid::test_support::TempDir dir;
    const std::vector<std::string> args = {"search", "--host", Site().HostPort(), "--pick",
                                           "0",      "--dir",  dir.Path(),        "orchard"};
    for (auto _ : state) {
        if (RunCli(args) != 0) {
            state.SkipWithError("korvid-cli search failed");
            break;
        }
    }
}
BENCHMARK(BM_KorvidCliSearchPick)->Unit(benchmark::kMillisecond)->UseRealTime();

// One file tagged from a lookup in a process of its own: what the scan does for each file.
void BM_KorvidCliTagSearch(benchmark::State& state) {
    korvid::test_support::TempDir dir;
    const std::string movie = dir.File("film.avi");
    korvid::test_support::WriteFileBytes(movie, std::string(4096, 'm'));
    const std::vector<std::string> args = {
        "tag",      "--search", "glass orchard", "--host", Site().HostPort(), "--dir",
        dir.Path(), movie};
    for (auto _ : state) {
        if (RunCli(args) != 0) {
            state.SkipWithError("korvid-cli tag failed");
            break;
        }
    }
}
BENCHMARK(BM_KorvidCliTagSearch)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
