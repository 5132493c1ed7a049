#pragma once
// Writing the files Korvid creates: the downloads (the temporary page, the covers) and
// the export documents. A name under which a symbolic link stands is never followed, so a
// page cannot steer a write onto another file; a write that finds the disk full reads
// "Disk full", as it does for the tag.

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "common/errors.h"

namespace korvid {

// Creates the file for writing (the mode less the umask), or opens it when it exists.
// extra_flags adds to O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW (O_TRUNC, O_EXCL). The
// result is the descriptor for the caller to own (FileDescriptor), or -1 with errno telling
// why (ELOOP for a symbolic link).
int CreateOutputFile(const std::string& path, int extra_flags, mode_t mode);

// Writes every byte; 0, or the errno of the write that failed (WriteError in common/errors.h
// turns it into the error to raise).
int WriteAll(int fd, const char* data, std::size_t size);

}  // namespace korvid
