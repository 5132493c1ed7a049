// Writing and reading the EKT tag of a 1 KB file and of a sparse 20 GB file in the same run.
// Only the last 128 bytes are read and written, so both sizes should cost about the same.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "tag/movie_tag.h"
#include "tests/support/temp_dir.h"

namespace {

using korvid::MovieTag;
using korvid::test_support::TempDir;

// A file of the given size: a few bytes of data at the start, the rest a hole that takes no
// disk space.
std::string MakeSparseFile(const TempDir& dir, std::int64_t size) {
    const std::string path = dir.File("movie-" + std::to_string(size) + ".avi");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot create " + path);
    }
    const bool ok =
        ::pwrite(fd, "RIFF", 4, 0) == 4 && ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    if (!ok) {
        throw std::runtime_error("cannot size " + path);
    }
    return path;
}

MovieTag SampleTag() {
    return MovieTag::Render({"Night Ferry", "Sylvia March", "Victor Lane .... Eddie Moss",
                             "0.0.1/title/tt9000008/", "1964", 5});
}

void BM_WriteTag(benchmark::State& state) {
    const TempDir dir;
    const std::int64_t size = state.range(0);
    const std::string path = MakeSparseFile(dir, size);
    const MovieTag tag = SampleTag();
    korvid::WriteTag(tag, path);  // the first write appends; every timed one replaces
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvid::WriteTag(tag, path));
    }
    state.counters["file_bytes"] = static_cast<double>(size + 128);
}

void BM_ReadLastTagBytes(benchmark::State& state) {
    const TempDir dir;
    const std::int64_t size = state.range(0);
    const std::string path = MakeSparseFile(dir, size);
    korvid::WriteTag(SampleTag(), path);
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvid::ReadLastTagBytes(path));
    }
    state.counters["file_bytes"] = static_cast<double>(size + 128);
}

constexpr std::int64_t OneKilobyte = 1024;
constexpr std::int64_t TwentyGigabytes = std::int64_t{20} * 1024 * 1024 * 1024;

BENCHMARK(BM_WriteTag)->Arg(OneKilobyte)->Arg(TwentyGigabytes);
BENCHMARK(BM_ReadLastTagBytes)->Arg(OneKilobyte)->Arg(TwentyGigabytes);

}  // namespace

BENCHMARK_MAIN();
