#pragma once
// A loopback server that takes connections (the system completes them on its own, from the
// listening socket's queue) and never reads or answers: a site that hangs before its first
// byte.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "common/file_descriptor.h"

namespace korvid::test_support {

class SilentServer {
  public:
    SilentServer() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (!socket_.IsOpen() ||
            ::bind(socket_.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(socket_.Get(), 8) != 0 ||
            ::getsockname(socket_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on loopback");
        }
        port_ = ntohs(address.sin_port);
    }

    // "127.0.0.1:PORT"
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
    // "http://127.0.0.1:PORT"
    std::string BaseUrl() const { return "http://" + HostPort(); }

  private:
    FileDescriptor socket_;
    std::uint16_t port_ = 0;
};

}  // namespace korvid::test_support
