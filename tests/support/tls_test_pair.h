#pragma once
// HTTPS for tests: a self-signed certificate made on the spot, and a blocking TLS client on the
// loopback network that speaks raw bytes inside TLS.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "support/raw_http_client.h"

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace quorvane::testing {

struct TlsFiles {
    std::filesystem::path certificate, key;
};
// An EC key and a certificate for "localhost" valid for a day, as PEM files in the folder.
TlsFiles writeSelfSignedPair(const std::filesystem::path& folder, const std::string& name = "pair");

class TlsClient {
public:
    // Connects to 127.0.0.1:port and shakes hands, trusting any certificate; maxVersion (for example
    // TLS1_1_VERSION) caps what the client offers, 0 offers what OpenSSL allows.
    explicit TlsClient(int port, int maxVersion = 0);
    ~TlsClient();
    TlsClient(const TlsClient&) = delete;
    TlsClient& operator=(const TlsClient&) = delete;

    bool established() const { return _established; }
    // "TLSv1.3", for example.
    std::string version() const;
    // The SHA-256 fingerprint of the server's certificate, as certificateFingerprint writes it.
    std::string peerFingerprint() const;
    bool send(std::string_view bytes);
    // The next whole response within the time.
    std::optional<http::testing::HttpReply> receive(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // True when the server closes the connection within the time.
    bool closedWithin(std::chrono::milliseconds timeout);

private:
    bool readMore(std::chrono::steady_clock::time_point deadline);

    int _fd = -1;
    SSL_CTX* _context = nullptr;
    SSL* _ssl = nullptr;
    bool _established = false;
    bool _closed = false;
    std::string _received;
};

}  // namespace quorvane::testing
