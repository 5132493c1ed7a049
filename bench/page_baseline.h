#pragma once
// The baseline that page benchmarks are read against: one memchr pass over the page's
// buffer, for a byte the page never holds, so the whole page is read once at memory speed.
// Also the film page the parse benchmarks read.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "common/line_list.h"

namespace korvid::bench {

// The bytes of the page's lines, without line breaks.
inline std::int64_t PageBytes(const LineList& page) {
    return static_cast<std::int64_t>(page.Buffer().size()) - page.Count();
}

inline void RunMemchrBaseline(benchmark::State& state, const LineList& page) {
    const std::string_view buffer = page.Buffer();
    for (auto _ : state) {
        const void* found = std::memchr(buffer.data(), '\x01', buffer.size());
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(state.iterations() * PageBytes(page));
}

inline std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The complete sample film (tests/data/film-complete.html) with filler cast rows after
// "<body>" up to about size bytes, so every search from line 0 crosses the filler. The cover
// address names cover_host, or is empty when cover_host is.
inline std::string FilmPage(std::size_t size, const std::string& cover_host) {
    std::ifstream in(std::string(KORVID_SOURCE_DIR) + "/tests/data/film-complete.html",
                     std::ios::binary);
    std::string page{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    page = cover_host.empty() ? ReplaceAll(page, "http://@HOST@/covers/silent-orchard.jpg", "")
                              : ReplaceAll(page, "@HOST@", cover_host);
    const std::string filler_line =
        "<tr class=\"even\"><td class=\"nm\"><a href=\"/name/nm0999999/\">Crowd Extra</a></td>"
        "<td class=\"ddd\"> ... </td><td class=\"char\">Passer-by</td></tr>\r\n";
    std::string filler;
    filler.reserve(size);
    while (page.size() + filler.size() < size) {
        filler += filler_line;
    }
    const std::size_t body = page.find("<body>\r\n") + 8;
    page.insert(body, filler);
    return page;
}

}  // namespace korvid::bench
