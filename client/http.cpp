#include "client/http.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
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
    ResponseHeaders headers;
    long status = 0;  // of the answer whose headers are being read
    const HttpOptions* options;
    bool answer_told = false;
    bool header_ended = false;  // the last header line seen was the empty one ending a header
};

// Runs one easy handle's transfer through a multi handle of its own, so that the caller
// decides how long each wait for the sockets may last: the keep-going callback is asked
// between the waits, also while the server sends nothing. libcurl's easy interface waits a
// second at a time instead. Releases the multi handle (the easy one stays the caller's).
class MultiTransfer {
  public:
    MultiTransfer(const CurlFunctions& curl, CURL* easy)
        : curl_(&curl), easy_(easy), multi_(curl.MultiInit()) {
        if (multi_ == nullptr) {
            throw std::runtime_error("Cannot start an HTTP transfer");
        }
        const CURLMcode code = curl.MultiAddHandle(multi_, easy);
        if (code != CURLM_OK) {
            curl.MultiCleanup(multi_);
            throw std::runtime_error(std::string("HTTP setup failed: ") + curl.MultiStrerror(code));
        }
    }
    MultiTransfer(const MultiTransfer&) = delete;
    MultiTransfer& operator=(const MultiTransfer&) = delete;
    ~MultiTransfer() {
        curl_->MultiRemoveHandle(multi_, easy_);
        curl_->MultiCleanup(multi_);
    }

    // Runs the transfer to its end and returns how it ended. A keep-going callback that
    // answers false ends it as CURLE_ABORTED_BY_CALLBACK, with *cancelled set.
    CURLcode Run(const KeepGoingCallback& keep_going, std::chrono::milliseconds every,
                 bool* cancelled) {
        // libcurl shortens each wait to its own next time-out; without a callback it waits
        // as its easy interface would.
        const int wait_ms =
            keep_going ? static_cast<int>(std::clamp<std::int64_t>(every.count(), 1, 1000)) : 1000;
        for (;;) {
            int running = 0;
            Check(curl_->MultiPerform(multi_, &running));
            if (running == 0) {
                break;
            }
            if (keep_going && !keep_going()) {
                *cancelled = true;
                return CURLE_ABORTED_BY_CALLBACK;
            }
            Check(curl_->MultiPoll(multi_, nullptr, 0, wait_ms, nullptr));
        }
        int left = 0;
        while (const CURLMsg* message = curl_->MultiInfoRead(multi_, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) {
                return message->data.result;
            }
        }
        // A transfer that ended without its result: libcurl lost it.
        return CURLE_FAILED_INIT;
    }

  private:
    void Check(CURLMcode code) const {
        if (code != CURLM_OK) {
            throw std::runtime_error(std::string("HTTP transfer failed: ") +
                                     curl_->MultiStrerror(code));
        }
    }

    const CurlFunctions* curl_;
    CURL* easy_;
    CURLM* multi_;
};

// Keeps the headers Korvid reads; a status line starts a new answer (after a redirect or an
// interim answer), so only the final answer's headers remain. Notes too whether the header
// received last was ended by its empty line: a connection that closes inside the header
// leaves libcurl with a status and no error, but it is no answer.
extern "C" std::size_t ReadHeaderLine(char* data, std::size_t size, std::size_t count,
                                      void* user) {
    auto* state = static_cast<TransferState*>(user);
    const std::size_t bytes = size * count;
    std::string_view line(data, bytes);
    state->header_ended = line == "\r\n" || line == "\n";
    if (line.substr(0, 5) == "HTTP/") {
        state->headers = {};
        const std::size_t space = line.find(' ');
        state->status = 0;
        if (space != std::string_view::npos) {
            std::from_chars(line.data() + space + 1, line.data() + line.size(), state->status);
        }
        return bytes;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return bytes;
    }
    const std::string name(line.substr(0, colon));
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
    }
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n' || value.back() == ' ' ||
                              value.back() == '\t')) {
        value.remove_suffix(1);
    }
    ResponseHeaders& headers = state->headers;
    const auto is = [&name](const char* wanted) { return ::strcasecmp(name.c_str(), wanted) == 0; };
    if (is("ETag")) {
        headers.etag = value;
    } else if (is("Last-Modified")) {
        headers.last_modified = value;
    } else if (is("Content-Range")) {
        headers.content_range = value;
    } else if (is("x-amzn-waf-action")) {
        headers.waf_action = value;
    } else if (is("Content-Length")) {
        std::int64_t length = -1;
        const auto [end, error] =
            std::from_chars(value.data(), value.data() + value.size(), length);
        headers.content_length =
            error == std::errc() && end == value.data() + value.size() ? length : -1;
    }
    return bytes;
}

extern "C" std::size_t WriteChunk(char* data, std::size_t size, std::size_t count, void* user) {
    auto* state = static_cast<TransferState*>(user);
    const std::size_t bytes = size * count;
    if (!state->headers.waf_action.empty()) {
        return bytes;  // the site's browser check: its body is no page and reaches no sink
    }
    if (!state->answer_told) {
        state->answer_told = true;
        if (state->options->answer_started) {
            state->options->answer_started(state->status, state->headers);
        }
    }
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
            return HostNotFoundCause;
        case CURLE_COULDNT_RESOLVE_PROXY:
            return "proxy name not found";
        case CURLE_COULDNT_CONNECT: {
            long os_error = 0;
            curl.EasyGetinfo(handle, CURLINFO_OS_ERRNO, &os_error);
            return os_error == ECONNREFUSED ? "connection refused" : "cannot connect";
        }
        case CURLE_OPERATION_TIMEDOUT:
            return status == 0 ? "timed out" : "the transfer stalled";
        case CURLE_ABORTED_BY_CALLBACK:
            return "the download was cancelled";
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

bool IsBrowserCheck(const TransferInfo& info, std::uint64_t body_bytes) {
    return !info.headers.waf_action.empty() || (info.status == 202 && body_bytes == 0);
}

void HttpGlobalInit() {
    // Loading runs curl_global_init once; a library that cannot be loaded fails each transfer.
    static_cast<void>(LoadedCurl());
}

TransferInfo HttpGet(std::string_view address, const ChunkSink& sink,
                     const ProgressCallback& progress, const HttpOptions& options) {
    TransferInfo info;
    TransferState state{&sink, &progress, 0, false, {}, 0, &options, false, false};
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
    // The conditional and range headers of a data-set download, as the server gave the values.
    const auto append_if_given = [&headers](const char* name, const std::string& value) {
        if (!value.empty()) {
            headers.Append((std::string(name) + ": " + value).c_str());
        }
    };
    append_if_given("If-None-Match", options.if_none_match);
    append_if_given("If-Modified-Since", options.if_modified_since);
    if (options.range_from > 0) {
        append_if_given("Range", "bytes=" + std::to_string(options.range_from) + "-");
        append_if_given("If-Range", options.if_range);
    }
    char error_buffer[CURL_ERROR_SIZE] = {};

    // The schemes first: a page's address never reaches another protocol handler, neither
    // directly nor through a redirect. A libcurl too old for these options fails the setup.
    easy.SetOption(CURLOPT_PROTOCOLS_STR, "http,https");
    easy.SetOption(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    easy.SetOption(CURLOPT_URL, url.c_str());
    easy.SetOption(CURLOPT_USERAGENT, "Korvid.exe");
    easy.SetOption(CURLOPT_HTTPHEADER, headers.Get());
    easy.SetOption(CURLOPT_FOLLOWLOCATION, options.follow_redirects ? 1L : 0L);
    easy.SetOption(CURLOPT_MAXREDIRS, 20L);
    // An error answer (400 and above) is no page: its body is not handed to the sink.
    easy.SetOption(CURLOPT_FAILONERROR, 1L);
    easy.SetOption(CURLOPT_BUFFERSIZE, options.chunk_bytes);
    easy.SetOption(CURLOPT_CONNECTTIMEOUT, 30L);
    easy.SetOption(CURLOPT_LOW_SPEED_LIMIT, 1L);
    easy.SetOption(CURLOPT_LOW_SPEED_TIME, options.low_speed_seconds);
    // The time this transfer may take: its own deadline, shortened to what is left before
    // ends_by (at least a millisecond: 0 would mean no limit at all).
    const auto started = std::chrono::steady_clock::now();
    std::int64_t timeout_ms = std::int64_t{options.deadline_seconds} * 1000;
    if (options.ends_by) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(*options.ends_by - started)
                .count();
        const std::int64_t allowed = std::max<std::int64_t>(left, 1);
        timeout_ms = timeout_ms > 0 ? std::min(timeout_ms, allowed) : allowed;
    }
    easy.SetOption(CURLOPT_TIMEOUT_MS, static_cast<long>(timeout_ms));
    easy.SetOption(CURLOPT_NOSIGNAL, 1L);
    easy.SetOption(CURLOPT_WRITEFUNCTION, &WriteChunk);
    easy.SetOption(CURLOPT_WRITEDATA, static_cast<void*>(&state));
    easy.SetOption(CURLOPT_HEADERFUNCTION, &ReadHeaderLine);
    easy.SetOption(CURLOPT_HEADERDATA, static_cast<void*>(&state));
    easy.SetOption(CURLOPT_ERRORBUFFER, error_buffer);

    bool cancelled = false;
    const CURLcode code = MultiTransfer(*curl, easy.Get())
                              .Run(options.keep_going, options.keep_going_every, &cancelled);
    // The same time-out code ends a slow connect, a stall and the overall deadline; only the
    // deadline comes when the whole time has gone by. libcurl's timer may fire a few
    // milliseconds before this clock says so: a tenth of a second counts as the whole.
    const auto ended = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    const bool past_own_deadline =
        code == CURLE_OPERATION_TIMEDOUT && options.deadline_seconds > 0 &&
        ended - started >= std::chrono::seconds(options.deadline_seconds);
    const bool past_ends_by =
        code == CURLE_OPERATION_TIMEDOUT && options.ends_by && ended >= *options.ends_by;
    const bool past_deadline = past_own_deadline || past_ends_by;

    long status = 0;
    curl->EasyGetinfo(easy.Get(), CURLINFO_RESPONSE_CODE, &status);
    char* effective = nullptr;
    curl->EasyGetinfo(easy.Get(), CURLINFO_EFFECTIVE_URL, &effective);

    info.status = status;
    info.effective_url = effective != nullptr ? effective : url;
    const bool cut_in_header = code == CURLE_OK && !state.header_ended;
    info.complete = code == CURLE_OK && !cut_in_header;
    info.headers = std::move(state.headers);
    // No connection could be made to the page's server, the first one or one a redirect
    // led to: the host did not resolve, refused, or did not answer in time.
    const bool no_connection =
        code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_RESOLVE_PROXY ||
        code == CURLE_COULDNT_CONNECT || code == CURLE_URL_MALFORMAT ||
        code == CURLE_UNSUPPORTED_PROTOCOL ||
        (code == CURLE_OPERATION_TIMEDOUT && status == 0 && state.received == 0);
    info.connected = !no_connection;
    info.cancelled = cancelled;
    info.stopped = cancelled || past_deadline;
    info.timed_out = past_deadline;
    if (past_own_deadline) {
        info.error =
            "the download took longer than " + std::to_string(options.deadline_seconds) + " s";
    } else if (past_ends_by) {
        info.error = "the time allowed ran out";
    } else if (code != CURLE_OK) {
        info.error = FailureCause(*curl, easy.Get(), code, status, error_buffer);
    } else if (cut_in_header) {
        info.error = "the connection broke";
    }
    return info;
}

}  // namespace korvid
