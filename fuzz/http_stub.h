#pragma once
// The network of the fuzz targets: a fuzz-only HttpGet (http_stub.cpp; the fuzz build renames
// the one in client/http.cpp out of the way) that opens no socket and answers each request
// with the next response of a queue the target filled from its input. Every requested address
// is recorded.

#include <string>
#include <vector>

namespace korvid::fuzz {

struct StubResponse {
    std::string body;
    bool connected = true;  // false: the server could not be reached (the body is not sent)
    long status = 200;
    bool complete = true;  // false: the transfer breaks after the body
};

// Empties the queue and the record of requests.
void ResetHttpStub();
// Answers the next request; requests beyond the queue find no server.
void QueueResponse(StubResponse response);
// The addresses HttpGet was called with, in order.
const std::vector<std::string>& RequestedAddresses();

}  // namespace korvid::fuzz
