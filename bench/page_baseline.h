#pragma once
// The baseline that page benchmarks are read against: one memchr scan over every line of the
// page, for a byte the page never holds, so the whole page is read once at memory speed.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "common/line_list.h"

namespace korvid::bench {

inline std::int64_t PageBytes(const LineList& page) {
    std::int64_t bytes = 0;
    for (const std::string& line : page.Lines()) {
        bytes += static_cast<std::int64_t>(line.size());
    }
    return bytes;
}

inline void RunMemchrBaseline(benchmark::State& state, const LineList& page) {
    for (auto _ : state) {
        int found = -1;
        const auto& lines = page.Lines();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (std::memchr(lines[i].data(), '\x01', lines[i].size()) != nullptr) {
                found = static_cast<int>(i);
                break;
            }
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(state.iterations() * PageBytes(page));
}

}  // namespace korvid::bench
