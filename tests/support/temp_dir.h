#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes away; plus small helpers to read and write whole files as bytes.

#include <set>
#include <string>

namespace korvid::test_support {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path without a trailing "/".
    const std::string& Path() const { return path_; }
    // The folder's path with a trailing "/", the form AppDir takes.
    std::string Dir() const { return path_ + "/"; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The names of the entries of a folder.
std::set<std::string> FileNames(const std::string& folder);
bool RunningAsRoot();

}  // namespace korvid::test_support
