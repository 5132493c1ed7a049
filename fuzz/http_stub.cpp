// The fuzz build's HttpGet: the body comes from the queue of http_stub.h, handed to the sink
// in chunks of at most 1024 bytes as the real transfer does, with the progress after each.

#include "fuzz/http_stub.h"

#include <algorithm>
#include <deque>
#include <utility>

#include "client/http.h"

namespace korvid {
namespace {

std::deque<fuzz::StubResponse>& Queue() {
    static std::deque<fuzz::StubResponse> queue;
    return queue;
}

std::vector<std::string>& Requests() {
    static std::vector<std::string> requests;
    return requests;
}

}  // namespace

namespace fuzz {

void ResetHttpStub() {
    Queue().clear();
    Requests().clear();
}

void QueueResponse(StubResponse response) {
    Queue().push_back(std::move(response));
}

const std::vector<std::string>& RequestedAddresses() {
    return Requests();
}

}  // namespace fuzz

TransferInfo HttpGet(std::string_view address, const ChunkSink& sink,
                     const ProgressCallback& progress, const HttpOptions& /*options*/) {
    Requests().emplace_back(address);
    TransferInfo info;
    info.effective_url = std::string(address);
    if (Queue().empty() || !Queue().front().connected) {
        if (!Queue().empty()) {
            Queue().pop_front();
        }
        info.error = "no server (fuzz stub)";
        return info;
    }
    const fuzz::StubResponse response = std::move(Queue().front());
    Queue().pop_front();
    info.connected = true;
    info.status = response.status;
    std::uint64_t received = 0;
    for (std::size_t at = 0; at < response.body.size();) {
        const std::size_t size = std::min<std::size_t>(1024, response.body.size() - at);
        if (!sink(response.body.data() + at, size)) {
            info.error = "stopped by the receiver (fuzz stub)";
            return info;
        }
        at += size;
        received += size;
        if (progress) {
            progress(received);
        }
    }
    info.complete = response.complete;
    if (!response.complete) {
        info.error = "transfer broken (fuzz stub)";
    }
    return info;
}

}  // namespace korvid
