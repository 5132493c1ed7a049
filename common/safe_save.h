#pragma once
// The safe save of a document the user named: the bytes go into a temporary file beside the
// target, which replaces the target only once it is written whole, so a save that fails
// leaves the earlier file as it was.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace korvid {

class FileDescriptor;

// A new file beside the target (".korvid-save-PID-N.tmp" in its folder, O_EXCL): its
// descriptor, or -1 with errno set; its name in temp_name.
int CreateBeside(const std::string& target, std::string* temp_name);

// Writes the bytes whole into the open file, gives it the permission bits when given, syncs
// and closes it: 0, or the errno of the first step that failed.
int WriteWholeAndClose(FileDescriptor& file, std::string_view bytes,
                       std::optional<mode_t> permissions = std::nullopt);

// Saves the bytes under the name. A symbolic link the user chose is written through to the
// file it leads to; an existing file keeps its permission bits. A FIFO or a character device
// there is written in place, never replaced (a FIFO only while it has a reader); a target
// that is the program's own standard output or error is written through it. Throws
// FileCreateError when the name cannot take the document (empty, an embedded NUL, a folder,
// another kind of special file, a file the user may not write, a FIFO without a reader, no
// temporary file beside it, the rename failed) and the write error (IoError, 101 "Disk full")
// when writing failed.
void SaveFileSafely(const std::string& name, std::string_view bytes);

}  // namespace korvid
