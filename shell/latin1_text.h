#pragma once
// Page text, fields and tag bytes are bytes; the windows show them through Latin-1, which
// maps every byte to one character and back. A character the user types outside Latin-1
// becomes "?".

#include <QString>
#include <string>
#include <string_view>

namespace korvid {

inline QString FromBytes(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string ToBytes(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace korvid
