#pragma once
// A client that speaks raw bytes to a server on the loopback network, so tests can send exactly what an
// attacker would: partial lines, bodies that never come, requests from chosen loopback addresses.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::http::testing {

using namespace std::chrono_literals;

struct HttpReply {
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first value of the field, "" when absent.
    std::string header(std::string_view name) const;
    size_t count(std::string_view name) const;
};

class RawClient {
public:
    // Connects to 127.0.0.1:port from `fromAddress` (any 127.x.y.z).
    explicit RawClient(int port, const std::string& fromAddress = "127.0.0.1");
    ~RawClient();
    RawClient(RawClient&& other) noexcept;
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return _fd >= 0; }
    // False when the bytes could not all be sent (the server closed or reset).
    bool send(std::string_view bytes);
    // Sends `total` bytes of filler in pieces; false when the server stopped taking them. Counts
    // what was accepted in `sent`.
    bool sendFiller(uint64_t total, uint64_t* sent = nullptr);
    // The next response (a 100 Continue counts as one); absent when none came whole within the time.
    std::optional<HttpReply> receive(std::chrono::milliseconds timeout = 5s, bool head = false);
    // True when the server closes the connection (or resets it) within the time.
    bool closedWithin(std::chrono::milliseconds timeout);
    // Everything received and not yet taken by receive().
    const std::string& unparsed() const { return _received; }
    void shrinkReceiveBuffer();

private:
    // Reads what is there within the time; false on close, reset or timeout.
    bool readMore(std::chrono::steady_clock::time_point deadline);

    int _fd = -1;
    std::string _received;
    bool _closed = false;
};

// The first response in `text` once it has come whole (for an answer to HEAD, once its head has), and
// how many bytes of `text` it took; absent while it is incomplete, or when it is not HTTP/1.1.
std::optional<std::pair<HttpReply, size_t>> parseReply(std::string_view text, bool head = false);

// One request on a fresh connection, its response.
HttpReply roundTrip(int port, const std::string& request, bool head = false);
// A GET of the path with HTTP/1.1 and Host.
std::string get(const std::string& target, const std::string& extraHeaders = "");
// A POST with the body, Content-Length and the content type.
std::string post(const std::string& target, const std::string& body, const std::string& contentType = "text/plain",
                 const std::string& extraHeaders = "");

// A multipart/form-data body with the boundary "XbOuNdArY".
struct FormPart {
    std::string name, filename, content;
};
inline constexpr const char* FORM_BOUNDARY = "XbOuNdArY";
std::string formBody(const std::vector<FormPart>& parts);
std::string formContentType();

}  // namespace quorvane::http::testing
