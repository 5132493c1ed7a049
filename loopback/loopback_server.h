#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests and the sample site. It listens on a port
// the system picks (port 0) unless told otherwise, answers each connection on its own thread
// one at a time, closes the connection after every answer, and records what it received.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace korvid::loopback {

struct HttpRequest {
    std::string request_line;  // "GET /path HTTP/1.1"
    std::string method;
    std::string target;                                        // the request target exactly as sent
    std::vector<std::pair<std::string, std::string>> headers;  // in the order received

    // The value of the first header of that name (ignoring case), or empty.
    std::string Header(const std::string& name) const;
};

struct HttpResponse {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // Send only this many bytes of the body (Content-Length still announces all of it),
    // then close the connection: a transfer cut off midway.
    std::size_t cut_after = static_cast<std::size_t>(-1);
    // Send the body in pieces of this size with this pause before each: a slow body.
    std::size_t piece_size = 0;
    std::chrono::milliseconds piece_delay{0};
    // Close the connection without sending anything.
    bool close_without_answer = false;

    static HttpResponse Ok(std::string body, std::string content_type = "text/html");
    static HttpResponse WithStatus(int status, std::string reason, std::string body);
    static HttpResponse Redirect(std::string location, int status = 302);
};

// A body with validators, answered as a file server does: the ETag and Last-Modified
// headers always; 304 without a body when If-None-Match names the ETag or If-Modified-Since
// equals the Last-Modified; for "Range: bytes=N-" or "bytes=N-M", 206 with that part and its
// Content-Range (the whole body with 200 when an If-Range names another version), and 416
// when N lies at or beyond the end. Routes that offer resumable downloads answer with it.
HttpResponse ServeEntity(const HttpRequest& request, const std::string& body,
                         const std::string& etag, const std::string& last_modified,
                         const std::string& content_type = "application/octet-stream");

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

class LoopbackServer {
  public:
    // host is the loopback address to listen on ("127.0.0.2" stands for a second host);
    // any address outside 127.0.0.0/8 is refused.
    explicit LoopbackServer(HttpHandler handler, std::uint16_t port = 0,
                            const std::string& host = "127.0.0.1");
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t Port() const { return port_; }
    // "127.0.0.1:PORT" (the host it listens on), what Korvid takes as its site host.
    std::string HostPort() const;
    // "http://127.0.0.1:PORT"
    std::string BaseUrl() const;

    // What the server received, oldest first (at most the last MaxRecorded requests).
    std::vector<HttpRequest> Requests() const;
    static constexpr std::size_t MaxRecorded = 1000;

    // A loopback port on which nothing listens (bound once, then released).
    static std::uint16_t UnusedPort();

  private:
    void Serve();
    void Answer(int client);

    HttpHandler handler_;
    int listen_fd_ = -1;
    int wake_pipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::string host_;
    mutable std::mutex mutex_;
    std::vector<HttpRequest> requests_;
    std::thread thread_;
};

}  // namespace korvid::loopback
