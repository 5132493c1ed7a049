#pragma once
// Whole-file reads and writes for the picture classes.

#include <string>

namespace korvid {

// The file's bytes. Throws FileOpenError when it cannot be opened, IoError on a read error.
std::string ReadPictureFile(const std::string& file_name);
// Creates or truncates the file and writes the bytes. Throws FileCreateError when it cannot
// be created, IoError on a write error.
void WritePictureFile(const std::string& file_name, const std::string& bytes);

}  // namespace korvid
