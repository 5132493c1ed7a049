#pragma once
// One data-set update at a time per download cache: an exclusive flock on the cache folder,
// taken without waiting through a descriptor of its own, so that a second update is refused
// whether it runs in another process (korvid-cli beside the window) or in the same one (a
// second worker thread of the window).

#include <string>

#include "common/file_descriptor.h"
#include "dataset/film_database.h"

namespace korvid {

// Another update (of this process or another) holds the download cache: "another update is
// running". Nothing was fetched or changed.
class UpdateBusy : public dataset::DatasetError {
  public:
    UpdateBusy() : dataset::DatasetError("another update is running") {}
};

class UpdateLock {
  public:
    // Takes the lock of the folder, which must exist. Raises UpdateBusy when another update
    // holds it, dataset::DatasetError when the folder cannot be opened.
    explicit UpdateLock(const std::string& folder);
    // The lock ends with the descriptor.

  private:
    FileDescriptor folder_;
};

}  // namespace korvid
