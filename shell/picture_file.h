#pragma once
// Whole-file reads and writes for the picture classes.

#include <string>

namespace korvid {

// The file's bytes. Throws FileOpenError when it cannot be opened, IoError on a read error.
std::string ReadPictureFile(const std::string& file_name);
// Writes the bytes into a temporary file beside the file, which then replaces it, so a
// failed save leaves an earlier file as it was. Throws FileCreateError when the file cannot
// be created, IoError on a write error (101 "Disk full" when the disk has no room).
void WritePictureFile(const std::string& file_name, const std::string& bytes);

}  // namespace korvid
