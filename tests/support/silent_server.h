#pragma once
// A loopback server that takes connections (the system completes them on its own, from the
// listening socket's queue) and never reads or answers: a site that hangs before its first
// byte.

#include <cstdint>
#include <string>

#include "common/file_descriptor.h"
#include "tests/support/loopback_socket.h"

namespace korvid::test_support {

class SilentServer {
  public:
    SilentServer() : socket_(ListenOnLoopback(8, port_)) {}

    // "127.0.0.1:PORT"
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
    // "http://127.0.0.1:PORT"
    std::string BaseUrl() const { return "http://" + HostPort(); }

  private:
    std::uint16_t port_ = 0;  // before socket_, which sets it
    FileDescriptor socket_;
};

}  // namespace korvid::test_support
