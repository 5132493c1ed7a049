#include "shell/png_image.h"

#include <zlib.h>

#include <QFile>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace korvid {
namespace {

constexpr std::string_view Signature("\x89PNG\r\n\x1a\n", 8);
// Far above any built-in picture; keeps a damaged header from asking for gigabytes.
constexpr std::uint32_t LargestSide = 4096;

std::uint32_t BigEndian32(const unsigned char* at) {
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) |
           (std::uint32_t{at[2]} << 8) | std::uint32_t{at[3]};
}

struct Header {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int colour_type = -1;
    std::size_t channels = 0;
};

std::size_t Channels(int colour_type) {
    switch (colour_type) {
        case 2:
            return 3;  // truecolour
        case 3:
            return 1;  // palette index
        case 6:
            return 4;  // truecolour with alpha
        default:
            return 0;
    }
}

unsigned char Paeth(int left, int up, int up_left) {
    const int estimate = left + up - up_left;
    const int to_left = std::abs(estimate - left);
    const int to_up = std::abs(estimate - up);
    const int to_up_left = std::abs(estimate - up_left);
    if (to_left <= to_up && to_left <= to_up_left) {
        return static_cast<unsigned char>(left);
    }
    return static_cast<unsigned char>(to_up <= to_up_left ? up : up_left);
}

// Undoes the row filters in place; false for an unknown filter type.
bool Unfilter(std::vector<unsigned char>& rows, const Header& header) {
    const std::size_t stride = header.width * header.channels;
    const std::size_t bpp = header.channels;
    const unsigned char* previous = nullptr;
    for (std::size_t y = 0; y < header.height; ++y) {
        unsigned char* row = rows.data() + y * (stride + 1);
        const unsigned char filter = row[0];
        unsigned char* line = row + 1;
        for (std::size_t x = 0; x < stride; ++x) {
            const int left = x >= bpp ? line[x - bpp] : 0;
            const int up = previous != nullptr ? previous[x] : 0;
            const int up_left = previous != nullptr && x >= bpp ? previous[x - bpp] : 0;
            int add = 0;
            switch (filter) {
                case 0:
                    break;
                case 1:
                    add = left;
                    break;
                case 2:
                    add = up;
                    break;
                case 3:
                    add = (left + up) / 2;
                    break;
                case 4:
                    add = Paeth(left, up, up_left);
                    break;
                default:
                    return false;
            }
            line[x] = static_cast<unsigned char>(line[x] + add);
        }
        previous = line;
    }
    return true;
}

}  // namespace

QImage DecodePng(const QByteArray& data) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const auto size = static_cast<std::size_t>(data.size());
    if (size < Signature.size() ||
        std::string_view(data.constData(), Signature.size()) != Signature) {
        return {};
    }
    Header header;
    std::array<QRgb, 256> palette{};
    std::size_t palette_size = 0;
    std::vector<unsigned char> compressed;
    bool ended = false;
    for (std::size_t at = Signature.size(); !ended;) {
        if (size - at < 12) {
            return {};  // a chunk's length, type and CRC take 12 bytes
        }
        const std::uint32_t length = BigEndian32(bytes + at);
        const std::string_view type(data.constData() + at + 4, 4);
        if (length > size - at - 12) {
            return {};
        }
        const unsigned char* body = bytes + at + 8;
        if (type == "IHDR") {
            if (length != 13) {
                return {};
            }
            header.width = BigEndian32(body);
            header.height = BigEndian32(body + 4);
            header.colour_type = body[9];
            header.channels = Channels(header.colour_type);
            const bool plain = body[8] == 8 && body[10] == 0 && body[11] == 0 && body[12] == 0;
            if (!plain || header.channels == 0 || header.width == 0 || header.height == 0 ||
                header.width > LargestSide || header.height > LargestSide) {
                return {};
            }
        } else if (type == "PLTE") {
            if (length % 3 != 0 || length / 3 > palette.size()) {
                return {};
            }
            palette_size = length / 3;
            for (std::size_t i = 0; i < palette_size; ++i) {
                palette[i] = qRgb(body[3 * i], body[3 * i + 1], body[3 * i + 2]);
            }
        } else if (type == "tRNS" && header.colour_type == 3) {
            for (std::size_t i = 0; i < length && i < palette_size; ++i) {
                palette[i] = qRgba(qRed(palette[i]), qGreen(palette[i]), qBlue(palette[i]), body[i]);
            }
        } else if (type == "IDAT") {
            compressed.insert(compressed.end(), body, body + length);
        } else if (type == "IEND") {
            ended = true;
        }
        at += std::size_t{length} + 12;
    }
    if (header.channels == 0 || compressed.empty()) {
        return {};
    }
    const std::size_t stride = header.width * header.channels;
    std::vector<unsigned char> rows((stride + 1) * header.height);
    uLongf inflated = static_cast<uLongf>(rows.size());
    if (uncompress(rows.data(), &inflated, compressed.data(),
                   static_cast<uLong>(compressed.size())) != Z_OK ||
        inflated != rows.size() || !Unfilter(rows, header)) {
        return {};
    }
    QImage image(static_cast<int>(header.width), static_cast<int>(header.height),
                 QImage::Format_ARGB32);
    for (std::size_t y = 0; y < header.height; ++y) {
        const unsigned char* line = rows.data() + y * (stride + 1) + 1;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (std::size_t x = 0; x < header.width; ++x) {
            const unsigned char* p = line + x * header.channels;
            switch (header.colour_type) {
                case 2:
                    out[x] = qRgb(p[0], p[1], p[2]);
                    break;
                case 3:
                    if (p[0] >= palette_size) {
                        return {};
                    }
                    out[x] = palette[p[0]];
                    break;
                default:
                    out[x] = qRgba(p[0], p[1], p[2], p[3]);
                    break;
            }
        }
    }
    return image;
}

QPixmap BuiltInPng(const QString& resource_path) {
    QFile file(resource_path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QPixmap::fromImage(DecodePng(file.readAll()));
}

}  // namespace korvid
