#include "common/line_list.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "common/errors.h"

namespace korvid {

const std::string& LineList::operator[](int index) const {
    if (index < 0 || index >= Count()) {
        throw ListIndexError(index);
    }
    return lines_[static_cast<std::size_t>(index)];
}

void LineList::SetText(std::string_view text) {
    lines_.clear();
    text = text.substr(0, text.find('\0'));
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines_.emplace_back(text.substr(start));
            break;
        }
        lines_.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') {
            ++start;
        }
    }
}

void LineList::LoadFromFile(const std::string& file_name) {
    std::ifstream in(file_name, std::ios::binary);
    if (!in) {
        throw FileOpenError(file_name);
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw IoError(100);
    }
    SetText(text);
}

void LineList::SaveToFile(const std::string& file_name) const {
    struct FileCloser {
        void operator()(std::FILE* f) const noexcept { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(file_name.c_str(), "wb"));
    if (!file) {
        throw FileCreateError(file_name);
    }
    for (const std::string& line : lines_) {
        if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size() ||
            std::fwrite("\r\n", 1, 2, file.get()) != 2) {
            throw IoError::FromErrno(errno);
        }
    }
    if (std::fclose(file.release()) != 0) {
        throw IoError::FromErrno(errno);
    }
}

}  // namespace korvid
