#pragma once
// Page text, fields and tag bytes are bytes; the windows show them through Latin-1, which
// maps every byte to one character and back. What the user types is composed first (a base
// letter and a combining mark become one letter), as korvid-cli does; a character outside
// Latin-1 becomes "?".

#include <QString>
#include <string>
#include <string_view>

#include "common/latin1.h"

namespace korvid {

inline QString FromBytes(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string ToBytes(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return TypedToLatin1(std::string(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace korvid
