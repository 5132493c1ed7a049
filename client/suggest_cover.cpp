// The cover of a film from the local film data, through the site's suggestion service.

#include "client/suggest_cover.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <nlohmann/json.hpp>

#include "client/cover_name.h"
#include "client/fetch.h"
#include "common/errors.h"
#include "common/file_descriptor.h"
#include "common/short_string.h"

namespace korvid {
namespace {

using Json = nlohmann::json;

// A suggestion answer is a few kilobytes; anything far larger is no answer.
constexpr std::size_t MaxSuggestionBytes = 1024u * 1024u;

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower;
}

// The scheme (lower case) and the authority ("host[:port]", lower case) of an absolute
// address; both empty when it is not one.
struct AddressParts {
    std::string scheme;
    std::string authority;
};

AddressParts SplitAddress(std::string_view address) {
    const std::size_t colon = address.find("://");
    if (colon == std::string_view::npos || colon == 0) {
        return {};
    }
    const std::string_view rest = address.substr(colon + 3);
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    return {LowerAscii(address.substr(0, colon)), LowerAscii(authority)};
}

bool IsTitleId(std::string_view id) {
    return id.size() >= 9 && id.size() <= 12 && id.substr(0, 2) == "tt" &&
           std::all_of(id.begin() + 2, id.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The picture address of one entry's "i": {"imageUrl": url, ...} or [url, width, height].
std::string PictureAddress(const Json& picture) {
    if (picture.is_object()) {
        const auto url = picture.find("imageUrl");
        return url != picture.end() && url->is_string() ? url->get<std::string>() : "";
    }
    if (picture.is_array() && !picture.empty() && picture[0].is_string()) {
        return picture[0].get<std::string>();
    }
    return "";
}

bool StartsLikeJpeg(const std::string& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    unsigned char head[3] = {};
    return file.IsOpen() && ::read(file.Get(), head, sizeof head) == 3 && head[0] == 0xFF &&
           head[1] == 0xD8 && head[2] == 0xFF;
}

// A name in the folder that no other fetch, of this process or another, uses at once.
std::string PartPath(const std::string& app_dir) {
    static std::atomic<unsigned> next{0};
    return app_dir + ".korvid-cover-" + std::to_string(::getpid()) + "-" +
           std::to_string(next.fetch_add(1)) + ".part";
}

// The service's answer for the film, or why there is none.
std::string AskService(const SuggestedCoverRequest& request, std::string* failure) {
    const std::string base = request.base.empty() ? SuggestBase() : request.base;
    std::string body;
    bool too_long = false;
    HttpOptions options = request.http;
    options.chunk_bytes = 16 * 1024;
    const TransferInfo info = HttpGet(
        SuggestAddress(base, request.film_id),
        [&](const char* data, std::size_t size) {
            if (body.size() + size > MaxSuggestionBytes) {
                too_long = true;
                return false;
            }
            body.append(data, size);
            return true;
        },
        {}, options);
    if (too_long) {
        *failure = "the service's answer is too long";
    } else if (IsBrowserCheck(info, body.size())) {
        *failure = BrowserCheckCause;
    } else if (info.status >= 300 || (info.connected && info.status != 200)) {
        *failure = "the service answered " + std::to_string(info.status);
    } else if (!info.complete) {
        *failure = info.error.empty() ? "the transfer failed" : info.error;
    } else {
        return CoverAddressFromSuggestion(body, request.film_id, failure);
    }
    return "";
}

// Downloads the picture into part; false with the reason when it is no JPEG picture from the
// image host that arrived whole.
bool DownloadPicture(const std::string& address, const std::string& part,
                     const SuggestedCoverRequest& request, std::string* failure) {
    DownloadOptions options{.max_bytes = MaxCoverBytes, .whole_body_only = true, .http = request.http};
    // A redirect could lead off the image host: the picture is taken where it was named.
    options.http.follow_redirects = false;
    TransferInfo info;
    if (!DownloadToFile(address, part, {}, &info, options)) {
        *failure = info.error.empty() ? "the transfer failed" : info.error;
        return false;
    }
    if (info.status != 200) {
        *failure = "the image host answered " + std::to_string(info.status);
    } else if (!StartsLikeJpeg(part)) {
        *failure = "the cover is not a JPEG picture";
    } else {
        return true;
    }
    ::unlink(part.c_str());
    return false;
}

}  // namespace

std::string SuggestBase() {
    const char* base = std::getenv("KORVID_SUGGEST_URL");
    return base != nullptr && *base != '\0' ? base : DefaultSuggestBase;
}

std::string SuggestAddress(std::string_view base, std::string_view film_id) {
    while (!base.empty() && base.back() == '/') {
        base.remove_suffix(1);
    }
    return std::string(base) + "/suggestion/x/" + std::string(film_id) + ".json";
}

std::string CoverAddressFromSuggestion(std::string_view body, std::string_view film_id,
                                       std::string* failure) {
    const Json answer = Json::parse(body, nullptr, false);
    if (answer.is_discarded() || !answer.is_object()) {
        *failure = "the service's answer is not JSON";
        return "";
    }
    const auto entries = answer.find("d");
    if (entries == answer.end() || !entries->is_array()) {
        *failure = "the service does not know the film";
        return "";
    }
    // The film itself, never the first entry blindly: a search lists related titles too.
    for (const Json& entry : *entries) {
        if (!entry.is_object()) {
            continue;
        }
        const auto id = entry.find("id");
        if (id == entry.end() || !id->is_string() || id->get<std::string>() != film_id) {
            continue;
        }
        const auto picture = entry.find("i");
        std::string address = picture == entry.end() ? "" : PictureAddress(*picture);
        if (address.empty()) {
            *failure = "the service has no picture of the film";
        }
        return address;
    }
    *failure = "the service does not know the film";
    return "";
}

std::string SizedCoverAddress(std::string_view address, int height) {
    constexpr std::string_view operations = "._V1_";
    const std::size_t at = address.rfind(operations);
    if (at == std::string_view::npos || address.size() < 4 ||
        LowerAscii(address.substr(address.size() - 4)) != ".jpg" ||
        at + operations.size() > address.size() - 4 || height <= 0) {
        return std::string(address);
    }
    return std::string(address.substr(0, at + operations.size())) + "UY" +
           std::to_string(height) + "_.jpg";
}

bool IsAllowedCoverAddress(std::string_view address, std::string_view base) {
    const AddressParts cover = SplitAddress(address);
    if ((cover.scheme != "http" && cover.scheme != "https") ||
        cover.authority.find('@') != std::string::npos || cover.authority.empty()) {
        return false;
    }
    while (!base.empty() && base.back() == '/') {
        base.remove_suffix(1);
    }
    const std::string allowed =
        base == DefaultSuggestBase ? std::string(DefaultImageHost) : SplitAddress(base).authority;
    return !allowed.empty() && cover.authority == allowed;
}

SuggestedCover FetchSuggestedCover(const SuggestedCoverRequest& request) {
    SuggestedCover result;
    if (!IsTitleId(request.film_id)) {
        result.failure = "the film has no title id";
        return result;
    }
    // The cover's name as a film page's cover has it: the title and ".jpg", plain, in the
    // folder, fitting 255 bytes with it.
    const std::string path = CoverPath(request.app_dir, request.title + ".jpg");
    if (path.empty()) {
        result.failure = "the title gives no cover name";
        return result;
    }
    const std::string part = PartPath(request.app_dir);
    if (part.size() > ShortString::MaxLength) {
        result.failure = "the program's folder has too long a name";
        return result;
    }

    const std::string address = AskService(request, &result.failure);
    if (address.empty()) {
        return result;
    }
    const std::string base = request.base.empty() ? SuggestBase() : request.base;
    if (!IsAllowedCoverAddress(address, base)) {
        result.failure = "the cover is not on the image host";
        return result;
    }
    try {
        const std::string sized = SizedCoverAddress(address, 2 * request.box_height);
        bool fetched = DownloadPicture(sized, part, request, &result.failure);
        if (!fetched && sized != address) {
            fetched = DownloadPicture(address, part, request, &result.failure);
        }
        if (!fetched) {
            return result;
        }
        // A link at the name is replaced by the rename; a FIFO or a device stays untouched.
        struct stat existing {};
        if (::lstat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
            !S_ISLNK(existing.st_mode)) {
            ::unlink(part.c_str());
            result.failure = FileCreateError(path).what();
            return result;
        }
        if (::rename(part.c_str(), path.c_str()) != 0) {
            result.failure = std::strerror(errno);
            ::unlink(part.c_str());
            return result;
        }
    } catch (const std::exception& error) {
        // The part could not be created or written (DownloadToFile removed it).
        result.failure = error.what();
        return result;
    }
    result.failure.clear();
    result.file = path;
    return result;
}

}  // namespace korvid
