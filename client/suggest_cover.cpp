// The cover of a film from the local film data, through the site's suggestion service.

#include "client/suggest_cover.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <nlohmann/json.hpp>

#include "client/cover_name.h"
#include "client/fetch.h"
#include "client/jpeg_check.h"
#include "client/web_address.h"
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

// What is wrong with the picture in the part, or empty when it is a whole JPEG picture. The
// part holds at most a cover's limit of bytes.
std::string PictureProblem(const std::string& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    std::string bytes;
    if (file.IsOpen()) {
        char buffer[64 * 1024];
        for (;;) {
            const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                return ErrnoText(errno);
            }
            if (got == 0) {
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
    } else {
        return ErrnoText(errno);
    }
    const std::string problem = JpegStructureProblem(bytes);
    return problem.empty() ? "" : "the cover is " + problem;
}

constexpr std::string_view PartPrefix = ".korvid-cover-";
constexpr std::string_view PartSuffix = ".part";

// The process id in a part's name (".korvid-cover-PID-N.part"), or 0 for any other name.
pid_t PartOwner(std::string_view name) {
    if (name.substr(0, PartPrefix.size()) != PartPrefix || name.size() < PartSuffix.size() ||
        name.substr(name.size() - PartSuffix.size()) != PartSuffix) {
        return 0;
    }
    name = name.substr(PartPrefix.size(), name.size() - PartPrefix.size() - PartSuffix.size());
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos || dash + 1 >= name.size() ||
        !std::all_of(name.begin() + static_cast<std::ptrdiff_t>(dash) + 1, name.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + dash, pid);
    return error == std::errc() && end == name.data() + dash && pid > 0 ? pid : 0;
}

// Removes the parts that fetches of processes no longer running left in the folder (a fetch
// ended by a kill or a crash has no chance to remove its own). A part of a running process,
// this one's among them, stays: its fetch may still be writing it.
void RemoveStaleParts(const std::string& app_dir) {
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(app_dir.c_str()), &::closedir);
    if (!folder) {
        return;
    }
    while (const dirent* entry = ::readdir(folder.get())) {
        const pid_t owner = PartOwner(entry->d_name);
        if (owner != 0 && owner != ::getpid() && ::kill(owner, 0) != 0 && errno == ESRCH) {
            ::unlinkat(::dirfd(folder.get()), entry->d_name, 0);
        }
    }
}

// A name in the folder that no other fetch, of this process or another, uses at once.
std::string PartPath(const std::string& app_dir) {
    static std::atomic<unsigned> next{0};
    return app_dir + ".korvid-cover-" + std::to_string(::getpid()) + "-" +
           std::to_string(next.fetch_add(1)) + ".part";
}

// How the fetch is going: why there is no cover yet, and whether the deadline ended it.
struct FetchState {
    HttpOptions http;  // the request's, with the whole fetch's deadline
    std::string failure;
    bool timed_out = false;

    // Takes the failure of a transfer.
    void Failed(const TransferInfo& info) {
        failure = info.error.empty() ? "the transfer failed" : info.error;
        timed_out = timed_out || info.timed_out;
    }
};

// The service's answer for the film, or why there is none.
std::string AskService(const SuggestedCoverRequest& request, FetchState& state) {
    const std::string base = request.base.empty() ? SuggestBase() : request.base;
    std::string body;
    bool too_long = false;
    HttpOptions options = state.http;
    options.chunk_bytes = 16 * 1024;
    std::string* failure = &state.failure;
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
    } else if (info.timed_out) {
        state.Failed(info);
    } else if (IsBrowserCheck(info, body.size())) {
        *failure = BrowserCheckCause;
    } else if (info.connected && info.status == 0) {
        *failure = "the service closed the connection without an answer";
    } else if (info.status >= 300 || (info.connected && info.status != 200)) {
        *failure = "the service answered " + std::to_string(info.status);
    } else if (!info.complete) {
        *failure = info.error.empty() ? "the transfer failed" : info.error;
    } else {
        return CoverAddressFromSuggestion(body, request.film_id, failure);
    }
    return "";
}

// Downloads the picture into part; false with the reason when it is no whole JPEG picture
// from the image host. address is one that AllowedCoverAddress gave.
bool DownloadPicture(const std::string& address, const std::string& part, FetchState& state) {
    DownloadOptions options{
        .max_bytes = MaxCoverBytes, .whole_body_only = true, .http = state.http};
    // A redirect could lead off the image host: the picture is taken where it was named.
    options.http.follow_redirects = false;
    TransferInfo info;
    if (!DownloadToFile(address, part, {}, &info, options)) {
        state.Failed(info);
        return false;
    }
    if (info.status != 200) {
        state.failure = "the image host answered " + std::to_string(info.status);
    } else if (std::string problem = PictureProblem(part); !problem.empty()) {
        state.failure = std::move(problem);
    } else {
        return true;
    }
    ::unlink(part.c_str());
    return false;
}

// The host that pictures may come from for the base: the default image host, over https, for
// the default base; otherwise the base's own scheme, host and port.
std::optional<WebAddress> ImageOrigin(std::string_view base) {
    while (!base.empty() && base.back() == '/') {
        base.remove_suffix(1);
    }
    return base == DefaultSuggestBase ? ParseWebAddress(std::string("https://") + DefaultImageHost)
                                      : ParseWebAddress(base);
}

// "N s", the deadline in whole seconds (rounded up).
std::string Seconds(std::chrono::milliseconds deadline) {
    return std::to_string((deadline.count() + 999) / 1000) + " s";
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

std::optional<std::string> AllowedCoverAddress(std::string_view address, std::string_view base) {
    const std::optional<WebAddress> origin = ImageOrigin(base);
    if (!origin) {
        return std::nullopt;
    }
    return AddressOnOrigin(address, *origin);
}

bool IsAllowedCoverAddress(std::string_view address, std::string_view base) {
    return AllowedCoverAddress(address, base).has_value();
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

    FetchState state{.http = request.http, .failure = {}, .timed_out = false};
    state.http.ends_by = std::chrono::steady_clock::now() + request.deadline;
    const auto ended = [&] {
        result.failure = state.timed_out ? "the cover took longer than " + Seconds(request.deadline)
                                         : state.failure;
        result.timed_out = state.timed_out;
        return result;
    };
    const std::string address = AskService(request, state);
    if (address.empty()) {
        return ended();
    }
    const std::string base = request.base.empty() ? SuggestBase() : request.base;
    // Each address is checked as the transfer reads it, and the transfer is handed the
    // address as the check wrote it.
    const std::optional<std::string> plain = AllowedCoverAddress(address, base);
    const std::optional<std::string> sized =
        AllowedCoverAddress(SizedCoverAddress(address, 2 * request.box_height), base);
    if (!plain || !sized) {
        result.failure = "the cover is not on the image host";
        return result;
    }
    RemoveStaleParts(request.app_dir);
    try {
        bool fetched = DownloadPicture(*sized, part, state);
        if (!fetched && *sized != *plain && !state.timed_out) {
            fetched = DownloadPicture(*plain, part, state);
        }
        if (!fetched) {
            return ended();
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
