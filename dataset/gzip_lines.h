#pragma once
// Reads a gzip-compressed text file line by line through zlib, without holding more than a
// few buffers of it. The inflating runs on a thread of its own, a few blocks ahead of the
// reader, so a reader that does real work on each line is not held up by it. A file that is
// not gzip, is corrupt or is cut short raises DatasetError naming the file
// ("title.crew.tsv.gz: the file is cut short") at the line where the damage is reached.

#include <zlib.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
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
    // Compressed bytes read to give the lines so far, and the file's compressed size.
    std::uint64_t CompressedRead() const { return compressed_read_; }
    std::uint64_t CompressedSize() const { return compressed_size_; }

  private:
    struct Block {
        std::vector<char> text;
        std::size_t size = 0;
        std::uint64_t compressed_read = 0;  // of the file, once this block was inflated
    };

    // The inflating thread: fills blocks until the file ends, fails or the reader goes away.
    void Inflate();
    // Inflates the next text of the file into out; 0 at its end.
    std::size_t InflateInto(char* out, std::size_t capacity);
    // Hands the block read to the inflater and takes the next; false at the end.
    bool NextBlock();
    [[noreturn]] void Fail(const std::string& cause) const;

    std::string name_;
    int fd_ = -1;
    z_stream stream_{};
    bool stream_ready_ = false;
    // The inflater's own state.
    bool input_ended_ = false;
    bool member_ended_ = false;  // the last gzip member read ended cleanly
    std::uint64_t inflater_read_ = 0;
    std::vector<unsigned char> input_;

    // Shared between the two threads, under mutex_.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> ready_;
    std::vector<Block> spare_;
    bool finished_ = false;  // no more blocks will come
    bool stopping_ = false;  // the reader has gone away
    std::exception_ptr error_;
    std::thread inflater_;

    // The reader's state.
    bool started_ = false;
    Block current_;
    std::size_t at_ = 0;  // the unread text is current_.text[at_, current_.size)
    std::string joined_;  // a line that spans blocks
    std::uint64_t compressed_read_ = 0;
    std::uint64_t compressed_size_ = 0;
};

}  // namespace korvid::dataset
