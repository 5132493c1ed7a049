#pragma once
// Reads a gzip-compressed text file line by line through zlib, without holding more than a
// buffer of it. A file that is not gzip, is corrupt or is cut short raises DatasetError
// naming the file ("title.crew.tsv.gz: the file is cut short").

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvid::dataset {

class GzipLines {
  public:
    // name is the file's name in messages. Raises DatasetError when the file cannot be opened.
    GzipLines(const std::string& path, std::string name);
    ~GzipLines();
    GzipLines(const GzipLines&) = delete;
    GzipLines& operator=(const GzipLines&) = delete;

    // The next line without its "\n"; false at the end of the file. The text stays valid
    // until the next call.
    bool Next(std::string_view& line);

    const std::string& Name() const { return name_; }
    std::uint64_t CompressedRead() const { return compressed_read_; }
    std::uint64_t CompressedSize() const { return compressed_size_; }

  private:
    // Inflates more text after the kept part of the buffer; false when the file has ended.
    bool Fill();
    [[noreturn]] void Fail(const std::string& cause) const;

    std::string name_;
    int fd_ = -1;
    z_stream stream_{};
    bool stream_ready_ = false;
    bool input_ended_ = false;
    bool member_ended_ = false;  // the last gzip member read ended cleanly
    std::vector<unsigned char> input_;
    std::vector<char> text_;
    std::size_t begin_ = 0;  // the unread text is text_[begin_, end_)
    std::size_t end_ = 0;
    std::uint64_t compressed_read_ = 0;
    std::uint64_t compressed_size_ = 0;
};

}  // namespace korvid::dataset
