#include "common/line_split.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#endif

#include "common/filter_kernel.h"

namespace korvid {
namespace {

// One bit for each of the 64 bytes at `at` that ends a line or the text: an LF, a NUL, or a
// CR that no LF follows (the CR of a CR LF is left to its LF). Reads at[0 .. 64].
[[gnu::always_inline]] inline std::uint64_t PortableBits(const char* at) noexcept {
    std::uint64_t bits = 0;
    for (unsigned i = 0; i < 64; ++i) {
        const bool ends = at[i] == '\n' || at[i] == '\0' || (at[i] == '\r' && at[i + 1] != '\n');
        bits |= static_cast<std::uint64_t>(ends) << i;
    }
    return bits;
}

#if defined(__SSE2__)
[[gnu::always_inline]] inline std::uint64_t Sse2Bits(const char* at) noexcept {
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    std::uint64_t bits = 0;
    for (unsigned part = 0; part < 4; ++part) {
        const char* from = at + 16 * part;
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 1));
        const __m128i lone_cr =
            _mm_andnot_si128(_mm_cmpeq_epi8(next, lf), _mm_cmpeq_epi8(bytes, cr));
        const __m128i ends = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, _mm_setzero_si128())),
            lone_cr);
        bits |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(ends)))
                << (16 * part);
    }
    return bits;
}

__attribute__((target("avx2"))) inline std::uint64_t Avx2Bits(const char* at) noexcept {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    std::uint64_t bits = 0;
    for (unsigned part = 0; part < 2; ++part) {
        const char* from = at + 32 * part;
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
        const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 1));
        const __m256i lone_cr =
            _mm256_andnot_si256(_mm256_cmpeq_epi8(next, lf), _mm256_cmpeq_epi8(bytes, cr));
        const __m256i ends =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(bytes, lf),
                                            _mm256_cmpeq_epi8(bytes, _mm256_setzero_si256())),
                            lone_cr);
        bits |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(ends)))
                << (32 * part);
    }
    return bits;
}
#endif

// The split, 64 bytes a step with the bits from Bits: one mask a step, and a step of the
// inner loop only for each line's end.
template <std::uint64_t (*Bits)(const char*)>
inline std::size_t SplitWith(const char* text, std::size_t size, LineStarts& starts) {
    if (size == 0 || text[0] == '\0') {
        return 0;
    }
    starts.PushBack(0);
    std::size_t block = 0;
    // Full steps read one byte past their 64 (the LF that may follow a CR).
    for (; block + 64 < size; block += 64) {
        for (std::uint64_t ends = Bits(text + block); ends != 0; ends &= ends - 1) {
            const std::size_t at = block + static_cast<std::size_t>(__builtin_ctzll(ends));
            if (text[at] == '\0') {
                return at;
            }
            if (text[at + 1] != '\0') {  // at + 1 < size here
                starts.PushBack(at + 1);
            }
        }
    }
    // The last bytes, in a copy filled out with bytes that end nothing.
    char tail[65];
    std::memset(tail, ' ', sizeof tail);
    std::memcpy(tail, text + block, size - block);
    for (std::uint64_t ends = Bits(tail); ends != 0; ends &= ends - 1) {
        const std::size_t at = block + static_cast<std::size_t>(__builtin_ctzll(ends));
        if (text[at] == '\0') {
            return at;
        }
        // A break at the very end, or just before the NUL, starts no further line.
        if (at + 1 < size && text[at + 1] != '\0') {
            starts.PushBack(at + 1);
        }
    }
    return size;
}

std::size_t SplitPortable(const char* text, std::size_t size, LineStarts& starts) {
    return SplitWith<PortableBits>(text, size, starts);
}
#if defined(__SSE2__)
std::size_t SplitSse2(const char* text, std::size_t size, LineStarts& starts) {
    return SplitWith<Sse2Bits>(text, size, starts);
}
// Flattened, so that the split and its bits are compiled together for AVX2.
__attribute__((target("avx2"), flatten)) std::size_t SplitAvx2(const char* text, std::size_t size,
                                                               LineStarts& starts) {
    return SplitWith<Avx2Bits>(text, size, starts);
}
#endif

}  // namespace

std::size_t SplitLines(const char* text, std::size_t size, LineStarts& starts) {
#if defined(__SSE2__)
    static const bool has_avx2 = __builtin_cpu_supports("avx2");
    if (SelectedFilterKernel() == FilterKernel::Best && has_avx2) {
        return SplitAvx2(text, size, starts);
    }
    if (SelectedFilterKernel() != FilterKernel::Portable) {
        return SplitSse2(text, size, starts);
    }
#endif
    return SplitPortable(text, size, starts);
}

}  // namespace korvid
