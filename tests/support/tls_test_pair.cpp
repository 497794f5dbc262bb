#include "support/tls_test_pair.h"

#include <cstdio>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "http/self_signed_pair.h"
#include "http/tls_context.h"

namespace quorvane::testing {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// OpenSSL writes to the socket with write(), which raises SIGPIPE once the server has closed it (an
// alert the client answers with, say): within this scope the signal is held back from this thread and
// taken away, so the write fails with EPIPE instead of ending the test process.
class SigpipeHeldBack {
public:
    SigpipeHeldBack() {
        sigemptyset(&_pipe);
        sigaddset(&_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        _wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &_pipe, &_previous);
    }
    ~SigpipeHeldBack() {
        if (!_wasPending) {
            const timespec now{0, 0};
            while (sigtimedwait(&_pipe, nullptr, &now) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &_previous, nullptr);
    }
    SigpipeHeldBack(const SigpipeHeldBack&) = delete;
    SigpipeHeldBack& operator=(const SigpipeHeldBack&) = delete;

private:
    sigset_t _pipe{}, _previous{};
    bool _wasPending = false;
};

}  // namespace

TlsFiles writeSelfSignedPair(const fs::path& folder, const std::string& name) {
    TlsFiles files{folder / (name + ".pem"), folder / (name + ".key")};
    http::writeSelfSignedPair({files.certificate, files.key, "localhost", std::chrono::hours(24)});
    return files;
}

TlsClient::TlsClient(int port, int maxVersion) {
    _fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
    timeval timeout{10, 0};  // the handshake's bound on a loaded machine
    setsockopt(_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    _context = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_verify(_context, SSL_VERIFY_NONE, nullptr);
    if (maxVersion != 0) {
        SSL_CTX_set_min_proto_version(_context, 0);
        SSL_CTX_set_max_proto_version(_context, maxVersion);
        SSL_CTX_set_security_level(_context, 0);  // old versions need it to be offered at all
    }
    _ssl = SSL_new(_context);
    SSL_set_fd(_ssl, _fd);
    SSL_set_tlsext_host_name(_ssl, "localhost");
    for (;;) {
        const SigpipeHeldBack held;
        const int result = SSL_connect(_ssl);
        if (result == 1) {
            _established = true;
            break;
        }
        // A receive timeout makes a read fail with EINTR when a signal wakes this thread.
        if (SSL_get_error(_ssl, result) == SSL_ERROR_SYSCALL && errno == EINTR) continue;
        break;
    }
    ERR_clear_error();
    timeval none{0, 0};
    setsockopt(_fd, SOL_SOCKET, SO_RCVTIMEO, &none, sizeof none);
}

TlsClient::~TlsClient() {
    if (_ssl) SSL_free(_ssl);
    if (_context) SSL_CTX_free(_context);
    if (_fd >= 0) close(_fd);
}

std::string TlsClient::version() const { return _established ? SSL_get_version(_ssl) : ""; }

std::string TlsClient::peerFingerprint() const {
    X509* certificate = _established ? SSL_get1_peer_certificate(_ssl) : nullptr;
    if (!certificate) return "";
    std::string text = http::certificateFingerprint(certificate);
    X509_free(certificate);
    return text;
}

bool TlsClient::send(std::string_view bytes) {
    if (!_established) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        size_t written = 0;
        const SigpipeHeldBack held;
        if (SSL_write_ex(_ssl, bytes.data() + done, bytes.size() - done, &written) != 1) return false;
        done += written;
    }
    return true;
}

bool TlsClient::readMore(Clock::time_point deadline) {
    if (!_established || _closed) return false;
    if (SSL_pending(_ssl) == 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd waiting{_fd, POLLIN, 0};
        if (left <= 0 || poll(&waiting, 1, static_cast<int>(left)) <= 0) return false;
    }
    char buffer[16384];
    size_t count = 0;
    const SigpipeHeldBack held;
    const int result = SSL_read_ex(_ssl, buffer, sizeof buffer, &count);
    if (result != 1) {
        const int error = SSL_get_error(_ssl, result);
        ERR_clear_error();
        if (error == SSL_ERROR_WANT_READ) return true;  // a record that held no data, a ticket say
        _closed = true;
        return false;
    }
    _received.append(buffer, count);
    return true;
}

std::optional<http::testing::HttpReply> TlsClient::receive(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (auto reply = http::testing::parseReply(_received)) {
            _received.erase(0, reply->second);
            return reply->first;
        }
        if (!readMore(deadline)) return std::nullopt;
    }
}

bool TlsClient::closedWithin(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!_closed && Clock::now() < deadline) readMore(deadline);
    return _closed;
}

}  // namespace quorvane::testing
