#include "client/part_writer.h"

#include <cerrno>
#include <cstdio>
#include <utility>

#include "client/dataset_cache.h"
#include "common/errors.h"
#include "common/output_file.h"

namespace korvid {
namespace {

// The first byte of a "bytes FIRST-LAST/TOTAL" range and its total; nothing when malformed.
std::optional<std::pair<std::uint64_t, std::uint64_t>> ParseContentRange(const std::string& text) {
    unsigned long long first = 0;
    unsigned long long last = 0;
    unsigned long long total = 0;
    if (std::sscanf(text.c_str(), "bytes %llu-%llu/%llu", &first, &last, &total) != 3 ||
        last < first || last >= total) {
        return std::nullopt;
    }
    return std::make_pair(first, total);
}

// "4 GiB", or the bytes when the limit is no whole number of GiB.
std::string LimitText(std::uint64_t bytes) {
    constexpr std::uint64_t GiB = std::uint64_t{1} << 30;
    return bytes % GiB == 0 ? std::to_string(bytes / GiB) + " GiB"
                            : std::to_string(bytes) + " bytes";
}

}  // namespace

PartWriter::PartWriter(std::string part, std::string source, std::uint64_t offset,
                       std::uint64_t max_bytes, std::stop_token stop)
    : part_(std::move(part)),
      source_(std::move(source)),
      offset_(offset),
      max_bytes_(max_bytes),
      limit_(max_bytes),
      stop_(std::move(stop)) {}

void PartWriter::Begin(long status, const ResponseHeaders& headers) {
    size_ = 0;
    const auto range = ParseContentRange(headers.content_range);
    if (status == 206 && !(range && range->first == offset_)) {
        wrong_part_ = true;  // not the rest of the part held: nothing of it is kept
        return;
    }
    if (status == 206) {
        size_ = offset_;
        total_ = range->second;
    } else if (headers.content_length >= 0) {
        total_ = static_cast<std::uint64_t>(headers.content_length);
    }
    if (total_ > max_bytes_) {
        too_large_ = "the file is larger than " + LimitText(max_bytes_);
        return;
    }
    if (total_ > 0) {
        limit_ = total_;  // never more than the answer announced
    }
    if (status == 206) {
        file_.emplace(OpenPartForAppend(part_, offset_));
        if (!file_->IsOpen()) {
            wrong_part_ = true;  // the part was changed under the update: start over
            return;
        }
        // The bytes held go through the check before any new one, read from the descriptor
        // the new ones are appended to.
        stopped_ = !check_.FeedFile(file_->Get(), offset_, stop_);
        return;
    }
    // A new version, or a server without ranges: the part starts over, and its record is
    // that of this answer.
    try {
        WriteCopyRecord(part_ + ".meta", {source_, SaneValidator(headers.etag),
                                          SaneValidator(headers.last_modified), 0});
    } catch (const IoError& error) {
        write_error_ = error.Code() == IoError::DiskFull ? ENOSPC : EIO;
        return;
    }
    file_.emplace(CreateFreshFile(part_));
    if (!file_->IsOpen()) {
        write_error_ = errno;
    }
}

bool PartWriter::Write(const char* data, std::size_t length) {
    if (wrong_part_ || !too_large_.empty() || write_error_ != 0 || stopped_ || !file_ ||
        !file_->IsOpen()) {
        return false;
    }
    if (size_ + length > limit_) {
        too_large_ = limit_ < max_bytes_ ? "the server sent more than the " +
                                               std::to_string(limit_) + " bytes it announced"
                                         : "the file is larger than " + LimitText(limit_);
        return false;
    }
    if (!check_.Feed(data, length)) {
        return false;  // spoilt: nothing after the damage is worth keeping
    }
    write_error_ = WriteAll(file_->Get(), data, length);
    size_ += length;
    return write_error_ == 0;
}

void PartWriter::Close() {
    if (file_ && file_->IsOpen() && write_error_ == 0) {
        write_error_ = file_->Close();
    }
}

}  // namespace korvid
