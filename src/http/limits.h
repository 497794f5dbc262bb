#pragma once
// What one client may cost the server. The defaults are the product's limits; tests shorten the times.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::http {

struct Limits {
    size_t maxRequestLineBytes = 8192;                                   // longer: 414 and close
    size_t maxHeaderLineBytes = 8192;                                    // one header line longer: 431 and close
    size_t maxHeaderLines = 100;                                         // more: 431 and close
    std::chrono::milliseconds headerTimeout{std::chrono::seconds(10)};   // header block from its first byte: else 408
    uint64_t maxBodyBytes = 100 * 1024 * 1024;                           // Content-Length above: 413 from the headers, close
    size_t minBodyBytesPerSecond = 10 * 1024;                            // a body slower than this over...
    std::chrono::milliseconds bodyRateWindow{std::chrono::seconds(10)};  // ...this window is cut off (408, close)
    std::chrono::milliseconds keepAliveIdle{std::chrono::seconds(5)};    // idle connections close after this
    std::chrono::milliseconds writeStall{std::chrono::seconds(30)};      // a client not reading our answer is dropped
    size_t maxConnections = 512;                                         // beyond: closed at once
    size_t maxConnectionsPerAddress = 32;                                // beyond: closed at once
    // Addresses the per-address cap does not apply to, only the total one: the machine's own, behind
    // which a reverse proxy or the machine's own browser and tools bring many clients.
    std::vector<std::string> uncappedAddresses;
    size_t ioThreads = 2;
    size_t workerThreads = 4;
    size_t maxQueuedRequests = 256;        // worker queue full: 503 and close
    size_t maxInMemoryBody = 1024 * 1024;  // InMemory bodies above this: 413 and close
    size_t maxFieldBytes = 64 * 1024;      // a multipart part without a filename, in memory
    size_t maxParts = 100;                 // parts of one multipart body
    size_t maxPartHeaderBytes = 8192;      // the header block of one multipart part
};

}  // namespace quorvane::http
