#include "common/line_starts.h"

#include <cstring>

namespace korvid {
namespace {

template <typename T>
std::uint64_t Load(const unsigned char* at) noexcept {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <typename T>
void StoreDistances(unsigned char* out, const std::uint64_t* starts, std::size_t count) {
    for (std::size_t k = 1; k < count; ++k) {
        const auto narrow = static_cast<T>(starts[k] - starts[0]);
        std::memcpy(out + (k - 1) * sizeof narrow, &narrow, sizeof narrow);
    }
}

}  // namespace

std::size_t LineStarts::operator[](std::size_t index) const noexcept {
    const std::size_t group = index / GroupSize;
    const std::size_t k = index % GroupSize;
    if (group == groups_.size()) {
        return static_cast<std::size_t>(open_[k]);
    }
    const Group& g = groups_[group];
    if (k == 0) {
        return static_cast<std::size_t>(g.first);
    }
    const unsigned shift = static_cast<unsigned>(g.data & 3);
    const unsigned char* at = distances_.data() + (g.data >> 2) + ((k - 1) << shift);
    std::uint64_t distance = 0;
    switch (shift) {
        case 0:
            distance = Load<std::uint8_t>(at);
            break;
        case 1:
            distance = Load<std::uint16_t>(at);
            break;
        case 2:
            distance = Load<std::uint32_t>(at);
            break;
        default:
            distance = Load<std::uint64_t>(at);
            break;
    }
    return static_cast<std::size_t>(g.first + distance);
}

std::size_t LineStarts::CountUpTo(std::size_t offset) const noexcept {
    std::size_t low = 0;
    std::size_t high = Size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if ((*this)[middle] <= offset) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

void LineStarts::SealOpenGroup() {
    const std::uint64_t first = open_[0];
    const std::uint64_t span = open_[GroupSize - 1] - first;
    const std::uint64_t shift = span <= 0xFF ? 0 : span <= 0xFFFF ? 1 : span <= 0xFFFFFFFF ? 2 : 3;
    const std::size_t at = distances_.size();
    groups_.push_back({first, (static_cast<std::uint64_t>(at) << 2) | shift});
    distances_.resize(at + ((GroupSize - 1) << shift));
    unsigned char* out = distances_.data() + at;
    switch (shift) {
        case 0:
            StoreDistances<std::uint8_t>(out, open_.data(), GroupSize);
            break;
        case 1:
            StoreDistances<std::uint16_t>(out, open_.data(), GroupSize);
            break;
        case 2:
            StoreDistances<std::uint32_t>(out, open_.data(), GroupSize);
            break;
        default:
            StoreDistances<std::uint64_t>(out, open_.data(), GroupSize);
            break;
    }
    open_count_ = 0;
}

void LineStarts::ReserveForBuffer(std::size_t buffer_size) {
    // Below a mebibyte a move costs little memory, and a worst-case reservation given back
    // after every page would cost more time than the few moves of growing as lines come.
    if (buffer_size < ReserveFrom) {
        return;
    }
    // A group of 64 lines spans at least 64 bytes; one whose distances take 2 bytes spans more
    // than 255, 4 bytes more than 65535: its 63 distances never take more bytes than it spans.
    groups_.reserve(groups_.size() + buffer_size / GroupSize + 1);
    distances_.reserve(distances_.size() + buffer_size);
}

void LineStarts::ShrinkToUse() {
    if (distances_.size() < distances_.capacity() / 2) {
        distances_.shrink_to_fit();
    }
    if (groups_.size() < groups_.capacity() / 2) {
        groups_.shrink_to_fit();
    }
}

void LineStarts::Clear(bool keep_memory) noexcept {
    if (keep_memory) {
        groups_.clear();
        distances_.clear();
    } else {
        std::vector<Group>().swap(groups_);
        std::vector<unsigned char>().swap(distances_);
    }
    open_count_ = 0;
}

}  // namespace korvid
