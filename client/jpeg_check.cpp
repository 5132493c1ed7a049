#include "client/jpeg_check.h"

#include <cstddef>

namespace korvid {
namespace {

constexpr const char* CutShort = "a JPEG picture cut short";
constexpr const char* Damaged = "a damaged JPEG picture";

// The start-of-frame markers, which carry the picture's size: SOF0 to SOF15 less DHT (C4),
// the reserved JPG (C8) and DAC (CC).
bool IsFrameHeader(unsigned char code) {
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

// Markers without a length: the restarts and TEM.
bool StandsAlone(unsigned char code) {
    return (code >= 0xD0 && code <= 0xD7) || code == 0x01;
}

unsigned Byte(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

unsigned Word(std::string_view bytes, std::size_t at) {
    return Byte(bytes, at) << 8 | Byte(bytes, at + 1);
}

// A frame header: precision, height, width, then three bytes for each of 1 to 4 components.
bool FrameHasSize(std::string_view segment) {
    if (segment.size() < 6) {
        return false;
    }
    const unsigned components = Byte(segment, 5);
    return Word(segment, 1) > 0 && Word(segment, 3) > 0 && components >= 1 && components <= 4 &&
           segment.size() == 6 + 3 * std::size_t{components};
}

// A scan header: 1 to 4 components of two bytes each, then three bytes.
bool ScanHeaderFits(std::string_view segment) {
    if (segment.empty()) {
        return false;
    }
    const unsigned components = Byte(segment, 0);
    return components >= 1 && components <= 4 &&
           segment.size() == 1 + 2 * std::size_t{components} + 3;
}

// Where the marker after a scan's coded data starts, from the coded data's start; npos when
// the data run to the end of the bytes. In coded data FF 00 stands for the byte FF, FF D0 to
// FF D7 are restarts, and FF may repeat before a marker.
std::size_t EndOfCodedData(std::string_view bytes, std::size_t at) {
    for (;;) {
        const std::size_t ff = bytes.find('\xFF', at);
        if (ff == std::string_view::npos || ff + 1 >= bytes.size()) {
            return std::string_view::npos;
        }
        const unsigned next = Byte(bytes, ff + 1);
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
            at = ff + 2;
        } else if (next == 0xFF) {
            at = ff + 1;
        } else {
            return ff;
        }
    }
}

}  // namespace

std::string JpegStructureProblem(std::string_view bytes) {
    if (bytes.size() < 2 || Byte(bytes, 0) != 0xFF || Byte(bytes, 1) != 0xD8) {
        return "not a JPEG picture";
    }
    std::size_t at = 2;
    bool frame = false;
    bool scan = false;
    for (;;) {
        if (at >= bytes.size()) {
            return CutShort;
        }
        if (Byte(bytes, at) != 0xFF) {
            return Damaged;
        }
        while (at < bytes.size() && Byte(bytes, at) == 0xFF) {
            ++at;  // a marker may be preceded by fill bytes
        }
        if (at >= bytes.size()) {
            return CutShort;
        }
        const unsigned code = Byte(bytes, at++);
        if (code == 0xD9) {
            return frame && scan ? "" : "a JPEG picture without image data";
        }
        if (code == 0x00 || code == 0xD8) {
            return Damaged;
        }
        if (StandsAlone(static_cast<unsigned char>(code))) {
            continue;
        }
        if (at + 2 > bytes.size()) {
            return CutShort;
        }
        const std::size_t length = Word(bytes, at);
        if (length < 2) {
            return Damaged;
        }
        if (at + length > bytes.size()) {
            return CutShort;
        }
        const std::string_view segment = bytes.substr(at + 2, length - 2);
        at += length;
        if (IsFrameHeader(static_cast<unsigned char>(code))) {
            if (!FrameHasSize(segment)) {
                return "a JPEG picture without a size";
            }
            frame = true;
        } else if (code == 0xDA) {
            if (!frame || !ScanHeaderFits(segment)) {
                return Damaged;
            }
            scan = true;
            at = EndOfCodedData(bytes, at);
            if (at == std::string_view::npos) {
                return CutShort;
            }
        }
    }
}

}  // namespace korvid
