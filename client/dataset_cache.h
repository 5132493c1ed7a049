#pragma once
// The download cache's own files, beside each data-set copy NAME: NAME.meta (the copy's
// record), NAME.part (a download not finished) and NAME.part.meta (the part's record). Anyone
// who can write the cache folder may have put anything there, so every such file is opened
// without following links and without blocking, and used only when it is a regular file with
// one link; a record is read within a size limit and keeps only sane values.

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace korvid {

// What the cache knows of a copy or a part.
struct CopyRecord {
    std::string source;  // the base address it came from: its validators go only there
    std::string etag;
    std::string last_modified;
    std::uint64_t length = 0;  // the copy's length (a part's record leaves it 0)

    bool HasValidators() const { return !etag.empty() || !last_modified.empty(); }
};

// The validator as the server gave it when it is printable ASCII of at most 256 bytes;
// empty otherwise (it is then never sent back).
std::string SaneValidator(std::string_view value);

// The record at path; nothing when there is none or it is not a regular file of one link
// and at most a few kilobytes.
std::optional<CopyRecord> ReadCopyRecord(const std::string& path);

// Writes the record through a new temporary file renamed over path. Raises IoError.
void WriteCopyRecord(const std::string& path, const CopyRecord& record);

// The size of a cache file that may be used: a regular file with one link, not a link.
// Nothing when the name is free; anything else at the name is removed first (a FIFO, a link,
// a hard-linked file: the cache never writes through it), and nothing is given.
std::optional<std::uint64_t> UsableCacheFile(const std::string& path);

// Opens a part to append to (and to read what it holds), when it is still the regular file of
// one link and of the size expected; -1 otherwise.
int OpenPartForAppend(const std::string& path, std::uint64_t expected_size);

// Makes a new empty file at path, whatever stood there before; -1 with errno when it cannot.
int CreateFreshFile(const std::string& path);

// Inflates the gzip file to its end (through GzipCheck): empty when it is whole gzip data,
// else why not ("the file is cut short"). Raises nothing; a stop ends it with "stopped".
std::string GzipDamage(const std::string& path, const std::stop_token& stop);

}  // namespace korvid
