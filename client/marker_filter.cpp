// The marker filter: for every byte of the text, which needles a fingerprint of three bytes
// starting there could belong to. Each needle's fingerprint bytes, in both letter cases, set
// its bucket's bit in one table per fingerprint byte; a position is a candidate when the
// three tables agree on a bit. The vector kernels look a byte up by its nibbles with pshufb
// (16 entries each): the first fingerprint byte by both, the other two by the low nibble
// alone. That lets some bytes through beside the fingerprints' own (bytes whose nibbles belong
// to different needles of one bucket, or that share only the low nibble); each candidate is
// then compared whole.
// The low nibble is looked up with the byte itself as the index, unmasked: pshufb gives 0 for
// an index of 0x80 or more, so fingerprints hold only bytes below 0x80, one instruction less
// for every 32 bytes.

#include "client/marker_filter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

#include "common/filter_kernel.h"
#include "common/text.h"

#if defined(__x86_64__) || defined(__i386__)
#define KORVID_MARKER_FILTER_X86 1
#include <immintrin.h>
#endif

namespace korvid {
namespace {

constexpr std::size_t Width = 3;    // fingerprint bytes
constexpr std::size_t Buckets = 8;  // one bit of a byte each
// The fingerprint's first byte is looked up by both nibbles; the others by the low nibble
// alone (their high tables let every nibble through), which lets a few more candidates
// through but saves three of the five instructions such a byte costs in every block.
constexpr std::size_t FullWidth = 1;

struct Filter {
    alignas(16) std::array<std::array<std::uint8_t, 16>, Width> low{};
    alignas(16) std::array<std::array<std::uint8_t, 16>, Width> high{};
};

void AddByte(Filter& filter, std::size_t j, unsigned char byte, std::uint8_t bit) {
    filter.low[j][byte & 0x0F] |= bit;
    filter.high[j][byte >> 4] |= bit;
}

// The filter over the needles whose mark is `in`, given the buckets in turn; each needle's
// bucket bit goes to bucket_bits (0 for a needle left out).
void MakeFilter(const std::vector<std::string>& needles, const std::vector<std::size_t>& offsets,
                const std::vector<std::size_t>& marks, std::size_t in, Filter& filter,
                std::vector<std::uint8_t>& bucket_bits) {
    filter = Filter();
    bucket_bits.assign(needles.size(), 0);
    std::size_t bucket = 0;
    for (std::size_t i = 0; i < needles.size(); ++i) {
        if (marks[i] != in) {
            continue;
        }
        const auto bit = static_cast<std::uint8_t>(1U << (bucket++ % Buckets));
        bucket_bits[i] = bit;
        for (std::size_t j = 0; j < Width; ++j) {
            const auto byte = static_cast<unsigned char>(needles[i][offsets[i] + j]);
            AddByte(filter, j, byte, bit);
            if (byte >= 'A' && byte <= 'Z') {
                AddByte(filter, j, static_cast<unsigned char>(byte | 0x20), bit);
            }
        }
    }
    for (std::size_t j = FullWidth; j < Width; ++j) {
        filter.high[j].fill(0xFF);
    }
}

// The bucket bits of the fingerprint that starts at text[at], as the vector kernels find them.
std::uint8_t Bits(const char* text, std::size_t at, const Filter& filter) {
    std::uint8_t bits = 0xFF;
    for (std::size_t j = 0; j < Width; ++j) {
        const auto byte = static_cast<unsigned char>(text[at + j]);
        bits &= byte < 0x80 ? filter.low[j][byte & 0x0F] & filter.high[j][byte >> 4] : 0;
    }
    return bits;
}

// Each kernel: the first position q in [begin, end) whose fingerprint the filter lets
// through, or end. Reads text[begin .. end + Width - 1).
std::size_t PortableCandidate(const char* text, std::size_t begin, std::size_t end,
                              const Filter& filter) {
    for (std::size_t q = begin; q < end; ++q) {
        if (Bits(text, q, filter) != 0) {
            return q;
        }
    }
    return end;
}

#if defined(KORVID_MARKER_FILTER_X86)
__attribute__((target("ssse3"))) inline __m128i Bits128(const char* at, const __m128i* low,
                                                        const __m128i* high) {
    const __m128i nibble = _mm_set1_epi8(0x0F);
    __m128i bits = _mm_set1_epi8(-1);
    for (std::size_t j = 0; j < Width; ++j) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + j));
        bits = _mm_and_si128(bits, _mm_shuffle_epi8(low[j], v));
        if (j < FullWidth) {
            const __m128i hi = _mm_and_si128(_mm_srli_epi16(v, 4), nibble);
            bits = _mm_and_si128(bits, _mm_shuffle_epi8(high[j], hi));
        }
    }
    return bits;
}

__attribute__((target("ssse3"))) std::size_t Ssse3Candidate(const char* text, std::size_t begin,
                                                            std::size_t end, const Filter& filter) {
    __m128i low[Width];
    __m128i high[Width];
    for (std::size_t j = 0; j < Width; ++j) {
        low[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(filter.low[j].data()));
        high[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(filter.high[j].data()));
    }
    std::size_t q = begin;
    for (; q + 16 <= end; q += 16) {
        const __m128i none = _mm_cmpeq_epi8(Bits128(text + q, low, high), _mm_setzero_si128());
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(none)) ^ 0xFFFFU;
        if (mask != 0) {
            return q + static_cast<std::size_t>(std::countr_zero(mask));
        }
    }
    return PortableCandidate(text, q, end, filter);
}

// Bucket bits of the 32 fingerprints that start at `at`.
__attribute__((target("avx2"))) inline __m256i Bits256(const char* at, const __m256i* low,
                                                       const __m256i* high) {
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    __m256i bits = _mm256_set1_epi8(-1);
    for (std::size_t j = 0; j < Width; ++j) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + j));
        bits = _mm256_and_si256(bits, _mm256_shuffle_epi8(low[j], v));
        if (j < FullWidth) {
            const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
            bits = _mm256_and_si256(bits, _mm256_shuffle_epi8(high[j], hi));
        }
    }
    return bits;
}

__attribute__((target("avx2"))) std::size_t Avx2Candidate(const char* text, std::size_t begin,
                                                          std::size_t end, const Filter& filter) {
    __m256i low[Width];
    __m256i high[Width];
    for (std::size_t j = 0; j < Width; ++j) {
        low[j] = _mm256_broadcastsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i*>(filter.low[j].data())));
        high[j] = _mm256_broadcastsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i*>(filter.high[j].data())));
    }
    std::size_t q = begin;
    for (; q + 64 <= end; q += 64) {  // 64 positions per step, one branch
        const __m256i first = Bits256(text + q, low, high);
        const __m256i second = Bits256(text + q + 32, low, high);
        const __m256i any = _mm256_or_si256(first, second);
        if (!_mm256_testz_si256(any, any)) {
            const __m256i zero = _mm256_setzero_si256();
            const auto none_first =
                static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(first, zero)));
            const auto none_second =
                static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(second, zero)));
            const std::uint64_t hits =
                ~(static_cast<std::uint64_t>(none_second) << 32 | none_first);
            return q + static_cast<std::size_t>(std::countr_zero(hits));
        }
    }
    return Ssse3Candidate(text, q, end, filter);
}
#endif

enum class Kernel { Avx2, Ssse3, Portable };

Kernel ChooseKernel() {
#if defined(KORVID_MARKER_FILTER_X86)
    static const bool has_avx2 = __builtin_cpu_supports("avx2");
    static const bool has_ssse3 = __builtin_cpu_supports("ssse3");
    switch (SelectedFilterKernel()) {
        case FilterKernel::Best:
            return has_avx2 ? Kernel::Avx2 : has_ssse3 ? Kernel::Ssse3 : Kernel::Portable;
        case FilterKernel::Vector128:
            return has_ssse3 ? Kernel::Ssse3 : Kernel::Portable;
        case FilterKernel::Portable:
            break;
    }
#endif
    return Kernel::Portable;
}

std::size_t NextCandidate(Kernel kernel, const char* text, std::size_t begin, std::size_t end,
                          const Filter& filter) {
#if defined(KORVID_MARKER_FILTER_X86)
    if (kernel == Kernel::Avx2) {
        return Avx2Candidate(text, begin, end, filter);
    }
    if (kernel == Kernel::Ssse3) {
        return Ssse3Candidate(text, begin, end, filter);
    }
#endif
    static_cast<void>(kernel);
    return PortableCandidate(text, begin, end, filter);
}

}  // namespace

struct MarkerFilter::Tables {
    Filter filter;
    std::vector<std::uint8_t> bucket_bits;
};

MarkerFilter::MarkerFilter(std::vector<std::string> upper_needles)
    : needles_(std::move(upper_needles)) {
    std::vector<std::size_t> marks;  // 0: in the filter; 1: without a fingerprint, searched alone
    for (const std::string& needle : needles_) {
        const std::size_t at = RarestRun(needle, Width, true);
        offsets_.push_back(at == std::string_view::npos ? 0 : at);
        marks.push_back(at == std::string_view::npos ? 1 : 0);
    }
    auto tables = std::make_unique<Tables>();
    MakeFilter(needles_, offsets_, marks, 0, tables->filter, tables->bucket_bits);
    tables_ = std::move(tables);
}

MarkerFilter::~MarkerFilter() = default;

bool MarkerFilter::Vectorised() noexcept {
    return ChooseKernel() != Kernel::Portable;
}

std::vector<std::size_t> MarkerFilter::FindFirst(std::string_view text) const {
    // Needles of the filter not found yet are marked with a value no offset takes.
    constexpr std::size_t Pending = std::string_view::npos - 1;
    std::vector<std::size_t> found(needles_.size(), std::string_view::npos);
    std::size_t pending_count = 0;
    for (std::size_t i = 0; i < needles_.size(); ++i) {
        if (tables_->bucket_bits[i] == 0) {
            found[i] = FindIgnoringCase(text, needles_[i]);
        } else if (needles_[i].size() <= text.size()) {
            found[i] = Pending;
            ++pending_count;
        }
    }
    if (pending_count == 0) {
        return found;
    }
    const Filter* filter = &tables_->filter;
    const std::vector<std::uint8_t>* bucket_bits = &tables_->bucket_bits;
    // Buckets that hold a needle no longer pending: a candidate in one of them that matches
    // nothing makes the filter anew over the pending needles alone.
    std::uint8_t stale = 0;
    for (std::size_t i = 0; i < needles_.size(); ++i) {
        stale |= found[i] != Pending ? (*bucket_bits)[i] : 0;
    }
    Filter rebuilt;
    std::vector<std::uint8_t> rebuilt_bits;
    const Kernel kernel = ChooseKernel();
    const std::size_t end = text.size() - Width + 1;  // fingerprints start at 0 .. size - Width
    for (std::size_t q = 0; pending_count > 0; ++q) {
        q = NextCandidate(kernel, text.data(), q, end, *filter);
        if (q == end) {
            break;
        }
        const std::uint8_t bits = Bits(text.data(), q, *filter);
        bool matched = false;
        for (std::size_t i = 0; i < needles_.size(); ++i) {
            const std::string& needle = needles_[i];
            const std::size_t offset = offsets_[i];
            if (found[i] == Pending && (bits & (*bucket_bits)[i]) != 0 && q >= offset &&
                q - offset + needle.size() <= text.size() &&
                MatchesAt(text.data() + q - offset, needle)) {
                found[i] = q - offset;
                --pending_count;
                stale |= (*bucket_bits)[i];
                matched = true;
            }
        }
        if (!matched && (bits & stale) != 0) {
            MakeFilter(needles_, offsets_, found, Pending, rebuilt, rebuilt_bits);
            filter = &rebuilt;
            bucket_bits = &rebuilt_bits;
            stale = 0;
        }
    }
    std::replace(found.begin(), found.end(), Pending, std::string_view::npos);
    return found;
}

}  // namespace korvid
