#pragma once
// The file a build writes: a new temporary name in the target's folder, removed when the
// build does not finish, and renamed over the target only when it does.

#include <string>

namespace korvid::dataset {

class BuildFile {
  public:
    // Makes the target's folder when it is missing, and an empty file beside the target.
    // Raises DatasetError when it cannot.
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
    bool committed_ = false;
};

}  // namespace korvid::dataset
