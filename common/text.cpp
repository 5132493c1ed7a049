#include "common/text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "common/filter_kernel.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace korvid {
namespace {

bool IsControlOrSpace(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// ---- The pair filter ----
//
// A byte folded with 0x20 is the same for both cases of a letter, so comparing folded bytes
// finds every candidate; it also lets through a few other bytes (0x02 for '"', '`' for '@'),
// which the whole comparison afterwards turns away.
constexpr unsigned char Fold = 0x20;

struct FoldedPair {
    unsigned char first;
    unsigned char second;
};

// Bytes roughly from the most to the least common in a web page, letters in lower case.
// Bytes not listed count as the rarest.
constexpr std::string_view CommonBytes =
    " et\"<>a/=srionldchpm\n\tu-.gfbvwy:012k_;&#345x6789,()'!jqz?{}[]%+*@|\\~^`$\r";

constexpr std::array<std::uint8_t, 256> MakeCommonness() {
    std::array<std::uint8_t, 256> commonness{};
    for (std::size_t i = 0; i < CommonBytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(CommonBytes[i]);
        commonness[byte] = static_cast<std::uint8_t>(CommonBytes.size() - i);
        if (byte >= 'a' && byte <= 'z') {
            commonness[byte - 'a' + 'A'] = commonness[byte];
        }
    }
    return commonness;
}
constexpr std::array<std::uint8_t, 256> Commonness = MakeCommonness();

std::size_t RarestPair(std::string_view needle) {
    return RarestRun(needle, 2);
}

FoldedPair PairAt(std::string_view needle, std::size_t at) {
    return {static_cast<unsigned char>(needle[at] | Fold),
            static_cast<unsigned char>(needle[at + 1] | Fold)};
}

bool PairMatches(const char* text, std::size_t at, FoldedPair pair) {
    return static_cast<unsigned char>(text[at] | Fold) == pair.first &&
           static_cast<unsigned char>(text[at + 1] | Fold) == pair.second;
}

// Each kernel: the first position q in [begin, end) where text[q], text[q + 1] fold to the
// pair, or end. Reads text[begin .. end].
std::size_t ScalarCandidate(const char* text, std::size_t begin, std::size_t end, FoldedPair pair) {
    for (std::size_t q = begin; q < end; ++q) {
        if (PairMatches(text, q, pair)) {
            return q;
        }
    }
    return end;
}

// Portable: eight positions at a time in 64-bit words.
std::size_t PortableCandidate(const char* text, std::size_t begin, std::size_t end,
                              FoldedPair pair) {
    constexpr std::uint64_t Ones = 0x0101010101010101ULL;
    constexpr std::uint64_t Low7 = 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t first = Ones * pair.first;
    const std::uint64_t second = Ones * pair.second;
    std::size_t q = begin;
    for (; q + 8 <= end; q += 8) {  // reads text[q .. q + 8]
        std::uint64_t w0 = 0;
        std::uint64_t w1 = 0;
        std::memcpy(&w0, text + q, 8);
        std::memcpy(&w1, text + q + 1, 8);
        const std::uint64_t z = ((w0 | Ones * Fold) ^ first) | ((w1 | Ones * Fold) ^ second);
        const std::uint64_t hits = ~(((z & Low7) + Low7) | z | Low7);  // 0x80 where z is 0
        if (hits != 0) {
            const int bit = std::endian::native == std::endian::little ? std::countr_zero(hits)
                                                                       : std::countl_zero(hits);
            return q + static_cast<std::size_t>(bit / 8);
        }
    }
    return ScalarCandidate(text, q, end, pair);
}

#if defined(__SSE2__)
// SSE2, part of every x86-64: 32 positions per step, one branch.
std::size_t Sse2Candidate(const char* text, std::size_t begin, std::size_t end, FoldedPair pair) {
    const __m128i first = _mm_set1_epi8(static_cast<char>(pair.first));
    const __m128i second = _mm_set1_epi8(static_cast<char>(pair.second));
    const __m128i fold = _mm_set1_epi8(static_cast<char>(Fold));
    const auto block = [&](std::size_t at) {
        const __m128i v0 =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at)), fold);
        const __m128i v1 =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at + 1)), fold);
        return _mm_and_si128(_mm_cmpeq_epi8(v0, first), _mm_cmpeq_epi8(v1, second));
    };
    std::size_t q = begin;
    for (; q + 32 <= end; q += 32) {  // reads text[q .. q + 32]
        const __m128i low = block(q);
        const __m128i high = block(q + 16);
        if (_mm_movemask_epi8(_mm_or_si128(low, high)) != 0) {
            const auto mask = static_cast<unsigned>(_mm_movemask_epi8(low)) |
                              static_cast<unsigned>(_mm_movemask_epi8(high)) << 16;
            return q + static_cast<std::size_t>(std::countr_zero(mask));
        }
    }
    return PortableCandidate(text, q, end, pair);
}

// AVX2, where the processor has it: 64 positions per step.
__attribute__((target("avx2"))) std::size_t Avx2Candidate(const char* text, std::size_t begin,
                                                          std::size_t end, FoldedPair pair) {
    const __m256i first = _mm256_set1_epi8(static_cast<char>(pair.first));
    const __m256i second = _mm256_set1_epi8(static_cast<char>(pair.second));
    const __m256i fold = _mm256_set1_epi8(static_cast<char>(Fold));
    std::size_t q = begin;
    for (; q + 64 <= end; q += 64) {  // reads text[q .. q + 64]
        __m256i hits[2];
        for (std::size_t half = 0; half < 2; ++half) {
            const char* at = text + q + 32 * half;
            const __m256i v0 =
                _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)), fold);
            const __m256i v1 =
                _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1)), fold);
            hits[half] =
                _mm256_and_si256(_mm256_cmpeq_epi8(v0, first), _mm256_cmpeq_epi8(v1, second));
        }
        const __m256i any = _mm256_or_si256(hits[0], hits[1]);
        if (!_mm256_testz_si256(any, any)) {
            const std::uint64_t mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(hits[0])) |
                                       static_cast<std::uint64_t>(static_cast<std::uint32_t>(
                                           _mm256_movemask_epi8(hits[1])))
                                           << 32;
            return q + static_cast<std::size_t>(std::countr_zero(mask));
        }
    }
    return Sse2Candidate(text, q, end, pair);
}
#endif

// The first position q in [begin, end) where text[q], text[q + 1] fold to the pair (end when
// there is none). Reads text[begin .. end].
std::size_t NextCandidate(const char* text, std::size_t begin, std::size_t end, FoldedPair pair) {
#if defined(__SSE2__)
    static const bool has_avx2 = __builtin_cpu_supports("avx2");
    if (SelectedFilterKernel() == FilterKernel::Best && has_avx2) {
        return Avx2Candidate(text, begin, end, pair);
    }
    if (SelectedFilterKernel() != FilterKernel::Portable) {
        return Sse2Candidate(text, begin, end, pair);
    }
#endif
    return PortableCandidate(text, begin, end, pair);
}

// A needle of one byte: its first position in either case.
std::size_t FindByteIgnoringCase(std::string_view text, char upper, std::size_t from) {
    const std::size_t upper_at = text.find(upper, from);
    const char lower = (upper >= 'A' && upper <= 'Z') ? static_cast<char>(upper | Fold) : upper;
    if (lower == upper) {
        return upper_at;
    }
    const std::size_t lower_at =
        text.substr(0, upper_at == std::string_view::npos ? text.size() : upper_at)
            .find(lower, from);
    return lower_at != std::string_view::npos ? lower_at : upper_at;
}

}  // namespace

std::string UpperAsciiCopy(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), UpperAscii);
    return upper;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperAscii(x) == UpperAscii(y);
           });
}

std::string TrimControls(std::string_view text) {
    const auto first = std::find_if_not(text.begin(), text.end(), IsControlOrSpace);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsControlOrSpace).base();
    return first < last ? std::string(first, last) : std::string();
}

std::size_t RarestRun(std::string_view needle, std::size_t width, bool ascii_only) {
    std::size_t best = std::string_view::npos;
    int best_score = 1 << 30;
    for (std::size_t i = 0; i + width <= needle.size(); ++i) {
        int score = 0;
        bool allowed = true;
        for (std::size_t j = i; j < i + width; ++j) {
            const auto byte = static_cast<unsigned char>(needle[j]);
            score += Commonness[byte];
            allowed = allowed && (!ascii_only || byte < 0x80);
        }
        if (allowed && score < best_score) {
            best = i;
            best_score = score;
        }
    }
    return best;
}

bool MatchesAt(const char* text, std::string_view upper_needle) {
    for (std::size_t i = 0; i < upper_needle.size(); ++i) {
        if (UpperAscii(text[i]) != upper_needle[i]) {
            return false;
        }
    }
    return true;
}

std::string PercentEncode(std::string_view text, bool (*must_escape)(unsigned char byte)) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (must_escape(byte)) {
            out += '%';
            out += Hex[byte >> 4];
            out += Hex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::size_t FindIgnoringCase(std::string_view text, std::string_view upper_needle,
                             std::size_t from) {
    const std::size_t length = upper_needle.size();
    if (length == 0 || from > text.size() || length > text.size() - from) {
        return std::string_view::npos;
    }
    if (length == 1) {
        return FindByteIgnoringCase(text, upper_needle[0], from);
    }
    const std::size_t offset = RarestPair(upper_needle);
    const FoldedPair pair = PairAt(upper_needle, offset);
    // Pair positions whose needle would start at from .. size - length.
    const std::size_t end = text.size() - length + offset + 1;
    for (std::size_t q = from + offset; q < end; ++q) {
        q = NextCandidate(text.data(), q, end, pair);
        if (q == end) {
            break;
        }
        if (PairMatches(text.data(), q, pair) &&
            MatchesAt(text.data() + q - offset, upper_needle)) {
            return q - offset;
        }
    }
    return std::string_view::npos;
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

}  // namespace korvid
