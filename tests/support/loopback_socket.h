#pragma once
// A TCP socket listening on 127.0.0.1 at a port the system picks, for the tests' own raw
// servers (answers the loopback server would never send, or no answer at all).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <stdexcept>

#include "common/file_descriptor.h"

namespace korvid::test_support {

// Listens with the given backlog, sets port and hands the socket over to the caller; raises
// std::runtime_error when it cannot.
inline int ListenOnLoopback(int backlog, std::uint16_t& port) {
    FileDescriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!socket.IsOpen() ||
        ::bind(socket.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(socket.Get(), backlog) != 0 ||
        ::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on loopback");
    }
    port = ntohs(address.sin_port);
    return socket.Release();
}

}  // namespace korvid::test_support
