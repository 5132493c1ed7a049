// The cover download: fetches the film's cover image into the program's folder under the
// name the parser gives it (made safe by CoverFileName), and remembers its path in PosterFile.

#include <algorithm>
#include <exception>
#include <string>

#include "client/IMDBImport.h"
#include "client/cover_name.h"

namespace korvid {
namespace {

// The name comes from the page (the film's title), so it must name a file directly inside
// the program's folder: a path delimiter could lead anywhere, and an embedded NUL would
// make the system see a shorter name than the one checked here.
bool IsPlainFileName(std::string_view name) {
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

// No page can fill the user's disk with its cover.
constexpr std::uint64_t MaxCoverBytes = 32u * 1024u * 1024u;

}  // namespace

bool TIMDBImport::DownloadPoster(const ShortString& address, const ShortString& file_name) {
    PosterFile = "";
    // An empty address can never be fetched (it ends as no connection, with no file), so
    // no transfer is started for it: no handle, no socket, the same result.
    if (address.empty() || !download_covers_) {
        return false;
    }
    if (!IsPlainFileName(file_name.str())) {
        return false;
    }
    // The name fits beside the folder in 255 bytes and ends in ".jpg"; no title, no cover.
    const std::size_t room =
        ShortString::MaxLength - std::min(AppDir.size(), ShortString::MaxLength);
    const std::string name = CoverFileName(file_name.str(), room);
    if (name.empty()) {
        return false;
    }
    const ShortString path = AppDir + name;
    if (path.size() != AppDir.size() + name.size()) {
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
