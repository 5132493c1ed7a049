#pragma once
// The file a build writes: a new temporary name in the target's folder (".NAME.new-XXXXXX"),
// locked (flock) while the build runs, removed when the build does not finish, and renamed
// over the target only when it does. Such files left by a build that was killed are not
// locked by anyone: the next build removes them.

#include <optional>
#include <string>

#include "common/file_descriptor.h"

namespace korvid::dataset {

class BuildFile {
  public:
    // Makes the target's folder when it is missing, removes stale build files of the target,
    // and makes an empty file beside the target. Raises DatasetError when it cannot.
    explicit BuildFile(const std::string& target);
    ~BuildFile();
    BuildFile(const BuildFile&) = delete;
    BuildFile& operator=(const BuildFile&) = delete;

    const std::string& Path() const { return path_; }
    // Writes the file to the disk and puts it in the target's place.
    void Commit();

  private:
    std::string target_;
    std::string path_;
    std::optional<FileDescriptor> file_;  // holds the lock that marks the file as in use
    bool committed_ = false;
};

// Removes the build files of the target that no running build holds: regular files named
// ".NAME.new-XXXXXX" beside it whose lock can be taken. Anything else is left alone.
void RemoveStaleBuildFiles(const std::string& target);

}  // namespace korvid::dataset
