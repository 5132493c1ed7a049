// The peak memory of korvid-cli search on a film page of about 50 MB, against a loopback
// server: each run is a child process, and its peak resident size is ru_maxrss from wait4.
// The program's base is the same search on the plain sample film (a few KB); the figure
// read against the page is (peak on the large page - base) / page size.
// Beside it, the line list alone on the page of the worst shape, 50 MB of line breaks (a
// line a byte), loaded in a forked child; the base is a child that loads an empty file.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "bench/page_baseline.h"
#include "common/line_list.h"
#include "loopback/loopback_server.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

using korvid::loopback::HttpRequest;
using korvid::loopback::HttpResponse;
using korvid::loopback::LoopbackServer;

const std::string Cli = KORVID_BINARY_DIR "/cli/korvid-cli";

constexpr std::size_t LargePage = 50 * 1024 * 1024;

// Runs korvid-cli search against the host; the peak resident bytes of the child, or -1.
// The benchmark process's own peak (bench_rss) is the floor of what this can show.
long PeakBytesOfSearch(const std::string& host, const std::string& dir) {
    const korvid::bench::ChildRun run =
        korvid::bench::RunQuietly({Cli, "search", "--host", host, "--dir", dir, "orchard"});
    return run.exit_code == 0 ? run.max_rss_kb * 1024L : -1;
}

// The two servers run in a process of their own: a child started by posix_spawn begins
// with its parent's memory, and Linux counts that into the child's ru_maxrss, so the
// benchmark process must stay small and never hold the large page.
struct ServerProcess {
    pid_t pid = -1;
    std::string small_host;
    std::string large_host;
    int stop_fd = -1;
    std::size_t large_size = 0;

    ServerProcess() {
        int ports[2];
        int stop[2];
        if (::pipe(ports) != 0 || ::pipe(stop) != 0) {
            return;
        }
        pid = ::fork();
        if (pid == 0) {
            ::close(ports[0]);
            ::close(stop[1]);
            Serve(ports[1], stop[0]);
            ::_exit(0);
        }
        ::close(ports[1]);
        ::close(stop[0]);
        stop_fd = stop[1];
        char text[128] = {};
        std::size_t got = 0;
        while (got < sizeof text - 1) {
            const ssize_t n = ::read(ports[0], text + got, sizeof text - 1 - got);
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        ::close(ports[0]);
        const std::string line(text, got);
        const std::size_t space1 = line.find(' ');
        const std::size_t space2 = line.find(' ', space1 + 1);
        if (space2 != std::string::npos) {
            small_host = line.substr(0, space1);
            large_host = line.substr(space1 + 1, space2 - space1 - 1);
            large_size = std::stoul(line.substr(space2 + 1));
        }
    }
    ~ServerProcess() {
        if (pid > 0) {
            ::close(stop_fd);  // the server ends when this pipe closes
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
    }

    // Each server answers the search at once with its film page, and serves the cover.
    static void Serve(int ports_fd, int stop_fd) {
        const auto serve = [](const std::string& page) {
            return [&page](const HttpRequest& request) {
                if (request.target.rfind("/covers/", 0) == 0) {
                    return HttpResponse::Ok(std::string(20 * 1024, '\x5A'), "image/jpeg");
                }
                return HttpResponse::Ok(page);
            };
        };
        std::string small_page;
        std::string large_page;
        LoopbackServer small_server(serve(small_page));
        LoopbackServer large_server(serve(large_page));
        small_page = korvid::bench::FilmPage(0, small_server.HostPort());
        large_page = korvid::bench::FilmPage(LargePage, large_server.HostPort());
        const std::string line = small_server.HostPort() + " " + large_server.HostPort() + " " +
                                 std::to_string(large_page.size());
        (void)!::write(ports_fd, line.data(), line.size());
        ::close(ports_fd);
        char byte = 0;
        while (::read(stop_fd, &byte, 1) > 0) {
        }
    }
};

void BM_KorvidCliSearchPeakMemory(benchmark::State& state) {
    if (::access(Cli.c_str(), X_OK) != 0) {
        state.SkipWithError("build korvid-cli first");
        return;
    }
    static ServerProcess servers;
    if (servers.large_size == 0) {
        state.SkipWithError("the server process did not start");
        return;
    }
    korvid::test_support::TempDir dir;
    long base = 0;
    long peak = 0;
    for (auto _ : state) {
        base = PeakBytesOfSearch(servers.small_host, dir.Path());
        peak = PeakBytesOfSearch(servers.large_host, dir.Path());
        if (base < 0 || peak < 0) {
            state.SkipWithError("korvid-cli search failed");
            return;
        }
    }
    rusage self{};
    ::getrusage(RUSAGE_SELF, &self);
    state.counters["bench_rss"] = static_cast<double>(self.ru_maxrss * 1024L);
    state.counters["page_bytes"] = static_cast<double>(servers.large_size);
    state.counters["base_rss"] = static_cast<double>(base);
    state.counters["peak_rss"] = static_cast<double>(peak);
    state.counters["above_base_per_page"] =
        static_cast<double>(peak - base) / static_cast<double>(servers.large_size);
}
BENCHMARK(BM_KorvidCliSearchPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// Forks a child that loads the file into a line list and exits; its peak resident bytes, or
// -1. The child starts with this process's memory, which the empty file's run measures.
long PeakBytesOfLoading(const std::string& file) {
    const pid_t pid = ::fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        try {
            korvid::LineList lines;
            lines.LoadFromFile(file);
            ::_exit(lines.Count() >= 0 ? 0 : 1);
        } catch (...) {
            ::_exit(2);
        }
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss * 1024L;
}

void BM_LineBreakPagePeakMemory(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    korvid::test_support::TempDir dir;
    const std::string page = dir.File("breaks.htm");
    const std::string empty = dir.File("empty.htm");
    {
        // Written in pieces, so this process never holds the page.
        const std::string piece(1024 * 1024, '\n');
        const int fd = ::open(page.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        for (std::size_t written = 0; fd >= 0 && written < size; written += piece.size()) {
            (void)!::write(fd, piece.data(), std::min(piece.size(), size - written));
        }
        ::close(fd);
        ::close(::open(empty.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    }
    long base = 0;
    long peak = 0;
    for (auto _ : state) {
        base = PeakBytesOfLoading(empty);
        peak = PeakBytesOfLoading(page);
        if (base < 0 || peak < 0) {
            state.SkipWithError("loading failed");
            return;
        }
    }
    state.counters["page_bytes"] = static_cast<double>(size);
    state.counters["base_rss"] = static_cast<double>(base);
    state.counters["peak_rss"] = static_cast<double>(peak);
    state.counters["above_base_per_page"] =
        static_cast<double>(peak - base) / static_cast<double>(size);
}
BENCHMARK(BM_LineBreakPagePeakMemory)
    ->Arg(50 * 1024 * 1024)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
