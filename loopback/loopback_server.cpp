#include "loopback/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace korvid::loopback {
namespace {

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int Get() const { return fd_; }

  private:
    int fd_;
};

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

std::string Trim(std::string s) {
    const auto first = s.find_first_not_of(" \t");
    const auto last = s.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

// Reads up to the blank line that ends the request head; false when the peer went away.
bool ReadHead(int fd, std::string& head) {
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) {
            return false;
        }
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return false;
        }
        head.append(buffer, static_cast<std::size_t>(got));
        if (head.size() > 1 << 20) {
            return false;
        }
    }
    return true;
}

HttpRequest ParseHead(const std::string& head) {
    HttpRequest request;
    std::size_t pos = head.find("\r\n");
    request.request_line = head.substr(0, pos);
    const std::size_t sp1 = request.request_line.find(' ');
    const std::size_t sp2 = request.request_line.rfind(' ');
    if (sp1 != std::string::npos && sp2 > sp1) {
        request.method = request.request_line.substr(0, sp1);
        request.target = request.request_line.substr(sp1 + 1, sp2 - sp1 - 1);
    }
    pos += 2;
    while (pos < head.size()) {
        const std::size_t end = head.find("\r\n", pos);
        if (end == std::string::npos || end == pos) {
            break;
        }
        const std::string line = head.substr(pos, end - pos);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            request.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
        }
        pos = end + 2;
    }
    return request;
}

// The first and last byte of a "bytes=N-" or "bytes=N-M" range; nothing for any other form.
std::optional<std::pair<std::size_t, std::size_t>> ParseRange(const std::string& value,
                                                              std::size_t size) {
    constexpr std::string_view prefix = "bytes=";
    if (value.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    const std::string bounds = value.substr(prefix.size());
    const std::size_t dash = bounds.find('-');
    if (dash == std::string::npos || dash == 0 ||
        bounds.find_first_not_of("0123456789-") != std::string::npos) {
        return std::nullopt;
    }
    const std::size_t first = std::stoull(bounds.substr(0, dash));
    std::size_t last = size == 0 ? 0 : size - 1;
    if (dash + 1 < bounds.size()) {
        last = std::min<std::size_t>(last, std::stoull(bounds.substr(dash + 1)));
    }
    return std::make_pair(first, last);
}

}  // namespace

std::string HttpRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (::strcasecmp(key.c_str(), name.c_str()) == 0) {
            return value;
        }
    }
    return {};
}

HttpResponse HttpResponse::Ok(std::string body, std::string content_type) {
    HttpResponse response;
    response.body = std::move(body);
    response.headers.emplace_back("Content-Type", std::move(content_type));
    return response;
}

HttpResponse HttpResponse::WithStatus(int status, std::string reason, std::string body) {
    HttpResponse response = Ok(std::move(body));
    response.status = status;
    response.reason = std::move(reason);
    return response;
}

HttpResponse HttpResponse::Redirect(std::string location, int status) {
    HttpResponse response = WithStatus(status, "Found", "");
    response.headers.emplace_back("Location", std::move(location));
    return response;
}

HttpResponse ServeEntity(const HttpRequest& request, const std::string& body,
                         const std::string& etag, const std::string& last_modified,
                         const std::string& content_type) {
    const auto with_validators = [&](HttpResponse response) {
        response.headers.emplace_back("ETag", etag);
        response.headers.emplace_back("Last-Modified", last_modified);
        response.headers.emplace_back("Accept-Ranges", "bytes");
        return response;
    };
    const std::string none_match = request.Header("If-None-Match");
    const std::string modified_since = request.Header("If-Modified-Since");
    if ((!none_match.empty() && none_match == etag) ||
        (none_match.empty() && !modified_since.empty() && modified_since == last_modified)) {
        HttpResponse response;
        response.status = 304;
        response.reason = "Not Modified";
        return with_validators(std::move(response));
    }
    const std::string if_range = request.Header("If-Range");
    const bool same_version = if_range.empty() || if_range == etag || if_range == last_modified;
    const auto range = ParseRange(request.Header("Range"), body.size());
    if (range && same_version) {
        if (range->first >= body.size() || range->first > range->second) {
            HttpResponse response = HttpResponse::WithStatus(416, "Range Not Satisfiable", "");
            response.headers.emplace_back("Content-Range", "bytes */" + std::to_string(body.size()));
            return with_validators(std::move(response));
        }
        HttpResponse response = HttpResponse::Ok(
            body.substr(range->first, range->second - range->first + 1), content_type);
        response.status = 206;
        response.reason = "Partial Content";
        response.headers.emplace_back("Content-Range", "bytes " + std::to_string(range->first) +
                                                           "-" + std::to_string(range->second) +
                                                           "/" + std::to_string(body.size()));
        return with_validators(std::move(response));
    }
    return with_validators(HttpResponse::Ok(body, content_type));
}

LoopbackServer::LoopbackServer(HttpHandler handler, std::uint16_t port, const std::string& host)
    : handler_(std::move(handler)), host_(host) {
    in_addr listen_address{};
    if (::inet_pton(AF_INET, host.c_str(), &listen_address) != 1 ||
        (ntohl(listen_address.s_addr) >> 24) != 127) {
        throw std::runtime_error("not a loopback address: " + host);
    }
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0) {
        throw std::runtime_error("socket failed");
    }
    const int yes = 1;
    ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr = listen_address;
    address.sin_port = htons(port);
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_fd_, 16) != 0 || ::pipe(wake_pipe_) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(listen_fd_);
        throw std::runtime_error("cannot listen on " + host + ":" + std::to_string(port) + ": " +
                                 reason);
    }
    socklen_t length = sizeof address;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
    const char stop = 's';
    (void)!::write(wake_pipe_[1], &stop, 1);
    thread_.join();
    ::close(listen_fd_);
    ::close(wake_pipe_[0]);
    ::close(wake_pipe_[1]);
}

std::string LoopbackServer::HostPort() const {
    return host_ + ":" + std::to_string(port_);
}

std::string LoopbackServer::BaseUrl() const {
    return "http://" + HostPort();
}

std::vector<HttpRequest> LoopbackServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::uint16_t LoopbackServer::UnusedPort() {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

void LoopbackServer::Serve() {
    for (;;) {
        pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                Fd owned(client);
                Answer(client);
            }
        }
    }
}

void LoopbackServer::Answer(int client) {
    std::string head;
    if (!ReadHead(client, head)) {
        return;
    }
    const HttpRequest request = ParseHead(head);
    {
        std::lock_guard lock(mutex_);
        if (requests_.size() == MaxRecorded) {
            requests_.erase(requests_.begin());  // a long-running sample site keeps only the latest
        }
        requests_.push_back(request);
    }
    HttpResponse response;
    try {
        response = handler_(request);
    } catch (const std::exception& e) {
        response = HttpResponse::WithStatus(500, "Internal Server Error", e.what());
    }

    if (response.close_without_answer) {
        return;
    }
    std::string out =
        "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
    for (const auto& [key, value] : response.headers) {
        out += key + ": " + value + "\r\n";
    }
    out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    if (!SendAll(client, out.data(), out.size())) {
        return;
    }
    const std::size_t to_send = std::min(response.cut_after, response.body.size());
    const std::size_t piece = response.piece_size > 0 ? response.piece_size : to_send;
    for (std::size_t sent = 0; sent < to_send; sent += piece) {
        if (response.piece_delay.count() > 0) {
            pollfd p{wake_pipe_[0], POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(response.piece_delay.count())) > 0) {
                return;  // the server is stopping
            }
        }
        if (!SendAll(client, response.body.data() + sent, std::min(piece, to_send - sent))) {
            return;
        }
    }
    ::shutdown(client, SHUT_WR);
}

}  // namespace korvid::loopback
