#include "client/http.h"

#include <cerrno>
#include <stdexcept>
#include <utility>

#include "client/curl_library.h"
#include "common/text.h"

namespace korvid {
namespace {

// Owns one libcurl easy handle and releases it exactly once.
class CurlEasy {
  public:
    explicit CurlEasy(const CurlFunctions& curl) : curl_(&curl), handle_(curl.EasyInit()) {
        if (handle_ == nullptr) {
            throw std::runtime_error("Cannot start an HTTP transfer");
        }
    }
    CurlEasy(const CurlEasy&) = delete;
    CurlEasy& operator=(const CurlEasy&) = delete;
    ~CurlEasy() { curl_->EasyCleanup(handle_); }

    template <typename T>
    void SetOption(CURLoption option, T value) {
        const CURLcode code = curl_->EasySetopt(handle_, option, value);
        if (code != CURLE_OK) {
            throw std::runtime_error(std::string("HTTP setup failed: ") +
                                     curl_->EasyStrerror(code));
        }
    }

    CURL* Get() const noexcept { return handle_; }

  private:
    const CurlFunctions* curl_;
    CURL* handle_;
};

// Owns a curl_slist.
class HeaderList {
  public:
    explicit HeaderList(const CurlFunctions& curl) : curl_(&curl) {}
    HeaderList(const HeaderList&) = delete;
    HeaderList& operator=(const HeaderList&) = delete;
    ~HeaderList() { curl_->SlistFreeAll(list_); }
    void Append(const char* header) {
        curl_slist* appended = curl_->SlistAppend(list_, header);
        if (appended == nullptr) {
            throw std::bad_alloc();
        }
        list_ = appended;
    }
    curl_slist* Get() const noexcept { return list_; }

  private:
    const CurlFunctions* curl_;
    curl_slist* list_ = nullptr;
};

struct TransferState {
    const ChunkSink* sink;
    const ProgressCallback* progress;
    std::uint64_t received = 0;
    bool stopped_by_sink = false;
    bool header_ended = false;  // the last header line seen was the empty one ending a header
};

extern "C" std::size_t WriteChunk(char* data, std::size_t size, std::size_t count, void* user) {
    auto* state = static_cast<TransferState*>(user);
    const std::size_t bytes = size * count;
    if (!(*state->sink)(data, bytes)) {
        state->stopped_by_sink = true;
        return 0;  // makes libcurl end the transfer with CURLE_WRITE_ERROR
    }
    state->received += bytes;
    if (*state->progress) {
        (*state->progress)(state->received);
    }
    return bytes;
}

// Notes whether the header received last was ended by its empty line: a connection that
// closes inside the header leaves libcurl with a status and no error, but it is no answer.
extern "C" std::size_t HeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
    auto* state = static_cast<TransferState*>(user);
    const std::size_t bytes = size * count;
    const std::string_view line(data, bytes);
    state->header_ended = line == "\r\n" || line == "\n";
    return bytes;
}

bool MustEncode(unsigned char byte) {
    if (byte < 33 || byte >= 127) {
        return true;
    }
    switch (byte) {
        case '"':
        case '#':
        case '<':
        case '>':
        case '\\':
        case '^':
        case '`':
        case '{':
        case '|':
        case '}':
            return true;
        default:
            return false;
    }
}

// Why a transfer that libcurl ended with code failed, in the words korvid-cli shows.
std::string FailureCause(const CurlFunctions& curl, CURL* handle, CURLcode code, long status,
                         const char* error_buffer) {
    switch (code) {
        case CURLE_HTTP_RETURNED_ERROR:
            return "the site answered " + std::to_string(status);
        case CURLE_COULDNT_RESOLVE_HOST:
            return "host name not found";
        case CURLE_COULDNT_RESOLVE_PROXY:
            return "proxy name not found";
        case CURLE_COULDNT_CONNECT: {
            long os_error = 0;
            curl.EasyGetinfo(handle, CURLINFO_OS_ERRNO, &os_error);
            return os_error == ECONNREFUSED ? "connection refused" : "cannot connect";
        }
        case CURLE_OPERATION_TIMEDOUT:
            return status == 0 ? "timed out" : "the transfer stalled";
        case CURLE_TOO_MANY_REDIRECTS:
            return "too many redirects";
        case CURLE_UNSUPPORTED_PROTOCOL:
            return "not an http or https address";
        case CURLE_URL_MALFORMAT:
            return "malformed address";
        case CURLE_GOT_NOTHING:
            return "the server sent no answer";
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
            return "the connection broke";
        default:
            return error_buffer[0] != '\0' ? error_buffer : curl.EasyStrerror(code);
    }
}

}  // namespace

std::string EncodeRequestTarget(std::string_view address) {
    return PercentEncode(address, MustEncode);
}

void HttpGlobalInit() {
    // Loading runs curl_global_init once; a library that cannot be loaded fails each transfer.
    static_cast<void>(LoadedCurl());
}

TransferInfo HttpGet(std::string_view address, const ChunkSink& sink,
                     const ProgressCallback& progress, const HttpOptions& options) {
    TransferInfo info;
    TransferState state{&sink, &progress};
    const std::string url = EncodeRequestTarget(address);

    const CurlFunctions* curl = LoadedCurl();
    if (curl == nullptr) {
        // Without libcurl no server can be reached: a transfer that never connected.
        info.effective_url = url;
        info.error = CurlLibraryError();
        return info;
    }

    CurlEasy easy(*curl);
    HeaderList headers(*curl);
    headers.Append("Accept:");  // libcurl adds "Accept: */*" by default; the request carries none
    char error_buffer[CURL_ERROR_SIZE] = {};

    // The schemes first: a page's address never reaches another protocol handler, neither
    // directly nor through a redirect. A libcurl too old for these options fails the setup.
    easy.SetOption(CURLOPT_PROTOCOLS_STR, "http,https");
    easy.SetOption(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    easy.SetOption(CURLOPT_URL, url.c_str());
    easy.SetOption(CURLOPT_USERAGENT, "Korvid.exe");
    easy.SetOption(CURLOPT_HTTPHEADER, headers.Get());
    easy.SetOption(CURLOPT_FOLLOWLOCATION, 1L);
    easy.SetOption(CURLOPT_MAXREDIRS, 20L);
    // An error answer (400 and above) is no page: its body is not handed to the sink.
    easy.SetOption(CURLOPT_FAILONERROR, 1L);
    easy.SetOption(CURLOPT_BUFFERSIZE, 1024L);
    easy.SetOption(CURLOPT_CONNECTTIMEOUT, 30L);
    easy.SetOption(CURLOPT_LOW_SPEED_LIMIT, 1L);
    easy.SetOption(CURLOPT_LOW_SPEED_TIME, options.low_speed_seconds);
    easy.SetOption(CURLOPT_NOSIGNAL, 1L);
    easy.SetOption(CURLOPT_WRITEFUNCTION, &WriteChunk);
    easy.SetOption(CURLOPT_WRITEDATA, static_cast<void*>(&state));
    easy.SetOption(CURLOPT_HEADERFUNCTION, &HeaderLine);
    easy.SetOption(CURLOPT_HEADERDATA, static_cast<void*>(&state));
    easy.SetOption(CURLOPT_ERRORBUFFER, error_buffer);

    const CURLcode code = curl->EasyPerform(easy.Get());

    long status = 0;
    curl->EasyGetinfo(easy.Get(), CURLINFO_RESPONSE_CODE, &status);
    char* effective = nullptr;
    curl->EasyGetinfo(easy.Get(), CURLINFO_EFFECTIVE_URL, &effective);

    info.status = status;
    info.effective_url = effective != nullptr ? effective : url;
    const bool cut_in_header = code == CURLE_OK && !state.header_ended;
    info.complete = code == CURLE_OK && !cut_in_header;
    // No connection could be made to the page's server, the first one or one a redirect
    // led to: the host did not resolve, refused, or did not answer in time.
    const bool no_connection =
        code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_RESOLVE_PROXY ||
        code == CURLE_COULDNT_CONNECT || code == CURLE_URL_MALFORMAT ||
        code == CURLE_UNSUPPORTED_PROTOCOL ||
        (code == CURLE_OPERATION_TIMEDOUT && status == 0 && state.received == 0);
    info.connected = !no_connection;
    if (code != CURLE_OK) {
        info.error = FailureCause(*curl, easy.Get(), code, status, error_buffer);
    } else if (cut_in_header) {
        info.error = "the connection broke";
    }
    return info;
}

}  // namespace korvid
