// The cover download: fetches the film's cover image into the program's folder under the
// name the parser gives it (made safe by CoverFileName), and remembers its path in PosterFile.

#include <exception>
#include <string>

#include "client/IMDBImport.h"
#include "client/cover_name.h"

namespace korvid {

bool TIMDBImport::DownloadPoster(const ShortString& address, const ShortString& file_name) {
    PosterFile = "";
    // An empty address can never be fetched (it ends as no connection, with no file), so
    // no transfer is started for it: no handle, no socket, the same result.
    if (address.empty() || !download_covers_) {
        return false;
    }
    // The name comes from the page: plain, in the folder, within 255 bytes; no title, no cover.
    const std::string path = CoverPath(AppDir.str(), file_name.str());
    if (path.empty()) {
        return false;
    }
    // A cover that does not arrive whole is no cover: DownloadToFile removes what it wrote.
    const DownloadOptions options{
        .max_bytes = MaxCoverBytes, .whole_body_only = true, .http = http_options_};
    try {
        if (!DownloadToFile(address, path, progress_, nullptr, options)) {
            return false;
        }
    } catch (const std::exception&) {
        // The file could not be created or written: no cover, and the parse goes on.
        return false;
    }
    PosterFile = path;
    return true;
}

}  // namespace korvid
