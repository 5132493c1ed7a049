// Start-up of the desktop program beside a minimal Qt Widgets window, in the same run: each
// program is started as a child process on the offscreen platform (or the one named by
// KORVID_BENCH_PLATFORM, e.g. xcb with DISPLAY on an Xvfb server) and ends by itself right
// after its first paint. Measured per start: the wall time from the spawn to the child's exit,
// the child's peak resident memory (ru_maxrss from wait4) and its processor time.
// KORVID_BENCH_KORVID_BEFORE may name another build of the program (an earlier commit's),
// measured beside them in the same run.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/child_run.h"

extern char** environ;

namespace {

const std::string Korvid = KORVID_BINARY_DIR "/shell/korvid";
const std::string MinimalWindow = KORVID_BINARY_DIR "/bench/minimal_window/minimal_window";

// The parent's environment without the variables set here, then the benchmark's own: the
// platform, quit after the first paint, and a host nothing listens on.
std::vector<std::string> ChildEnvironment() {
    const char* platform = std::getenv("KORVID_BENCH_PLATFORM");
    const std::vector<std::string> own = {
        std::string("QT_QPA_PLATFORM=") + (platform != nullptr ? platform : "offscreen"),
        "KORVID_QUIT_AFTER_FIRST_PAINT=1", "KORVID_HOST=127.0.0.1:1"};
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const std::string& mine : own) {
            const std::string name = mine.substr(0, mine.find('=') + 1);
            replaced = replaced || text.rfind(name, 0) == 0;
        }
        if (!replaced) {
            env.push_back(text);
        }
    }
    env.insert(env.end(), own.begin(), own.end());
    return env;
}

korvid::bench::ChildRun RunToFirstPaint(const std::string& program) {
    static std::vector<std::string> env_text = ChildEnvironment();
    std::vector<char*> envp;
    for (std::string& entry : env_text) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    return korvid::bench::RunQuietly({program}, envp.data());
}

void MeasureStart(benchmark::State& state, const std::string& program) {
    long peak_kb = 0;
    double cpu_seconds = 0;
    for (auto _ : state) {
        const korvid::bench::ChildRun run = RunToFirstPaint(program);
        if (run.exit_code != 0) {
            state.SkipWithError((program + " did not start and end cleanly").c_str());
            break;
        }
        state.SetIterationTime(run.seconds);
        peak_kb = std::max(peak_kb, run.max_rss_kb);
        cpu_seconds += run.cpu_seconds;
    }
    // Peak resident memory over the starts of this repetition, in bytes.
    state.counters["peak_rss"] =
        benchmark::Counter(static_cast<double>(peak_kb) * 1024.0, benchmark::Counter::kDefaults,
                           benchmark::Counter::kIs1024);
    // The child's processor time a start (every thread of it, not the X server's), which a
    // busy machine stretches far less than the wall time.
    state.counters["cpu_ms"] = benchmark::Counter(
        cpu_seconds * 1000.0 /
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1)));
}

void BM_KorvidFirstPaint(benchmark::State& state) {
    MeasureStart(state, Korvid);
}
BENCHMARK(BM_KorvidFirstPaint)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_MinimalWindowFirstPaint(benchmark::State& state) {
    MeasureStart(state, MinimalWindow);
}
BENCHMARK(BM_MinimalWindowFirstPaint)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (const char* before = std::getenv("KORVID_BENCH_KORVID_BEFORE")) {
        const std::string program = before;
        benchmark::RegisterBenchmark(
            "BM_KorvidBeforeFirstPaint",
            [program](benchmark::State& state) { MeasureStart(state, program); })
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(5);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
