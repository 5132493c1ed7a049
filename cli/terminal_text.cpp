#include "cli/terminal_text.h"

namespace korvid::cli {

std::string ForTerminal(const std::string& bytes) {
    std::string shown = bytes;
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0)) {
            c = '?';
        }
    }
    return Latin1ToUtf8(shown);
}

}  // namespace korvid::cli
