#include "support/raw_http_client.h"

#include <algorithm>
#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "http/headers.h"

namespace quorvane::http::testing {

using Clock = std::chrono::steady_clock;

std::string HttpReply::header(std::string_view name) const {
    for (const auto& [field, value] : headers)
        if (equalsIgnoringCase(field, name)) return value;
    return "";
}

size_t HttpReply::count(std::string_view name) const {
    size_t n = 0;
    for (const auto& [field, value] : headers) n += equalsIgnoringCase(field, name) ? 1 : 0;
    return n;
}

RawClient::RawClient(int port, const std::string& fromAddress) {
    _fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, fromAddress.c_str(), &local.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    server.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(_fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        ::close(_fd);
        _fd = -1;
    }
}

RawClient::~RawClient() {
    if (_fd >= 0) ::close(_fd);
}

RawClient::RawClient(RawClient&& other) noexcept : _fd(std::exchange(other._fd, -1)), _received(std::move(other._received)), _closed(other._closed) {}

bool RawClient::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

bool RawClient::sendFiller(uint64_t total, uint64_t* sent) {
    static const std::string filler(256 * 1024, 'x');
    uint64_t done = 0;
    bool ok = true;
    while (ok && done < total) {
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(filler.size(), total - done));
        const ssize_t count = ::send(_fd, filler.data(), piece, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) ok = false;
        else done += static_cast<uint64_t>(count);
    }
    if (sent) *sent = done;
    return ok;
}

bool RawClient::readMore(Clock::time_point deadline) {
    if (_closed) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd waiting{_fd, POLLIN, 0};
    if (left <= 0 || ::poll(&waiting, 1, static_cast<int>(left)) <= 0) return false;
    char buffer[65536];
    const ssize_t count = ::recv(_fd, buffer, sizeof buffer, 0);
    if (count <= 0) {
        _closed = true;
        return false;
    }
    _received.append(buffer, static_cast<size_t>(count));
    return true;
}

std::optional<std::pair<HttpReply, size_t>> parseReply(std::string_view text, bool head) {
    const size_t headEnd = text.find("\r\n\r\n");
    if (headEnd == std::string_view::npos || text.substr(0, 9) != "HTTP/1.1 ") return std::nullopt;
    HttpReply reply;
    reply.status = std::stoi(std::string(text.substr(9, 3)));
    size_t line = text.find("\r\n") + 2;
    while (line < headEnd) {
        const size_t end = text.find("\r\n", line);
        const std::string_view field = text.substr(line, end - line);
        const size_t colon = field.find(':');
        reply.headers.emplace_back(std::string(field.substr(0, colon)), std::string(trimmedSpace(field.substr(colon + 1))));
        line = end + 2;
    }
    const std::string length = reply.header("Content-Length");
    const size_t bodyBytes = head || length.empty() ? 0 : std::stoul(length);
    if (text.size() < headEnd + 4 + bodyBytes) return std::nullopt;
    reply.body = std::string(text.substr(headEnd + 4, bodyBytes));
    return std::pair{std::move(reply), headEnd + 4 + bodyBytes};
}

std::optional<HttpReply> RawClient::receive(std::chrono::milliseconds timeout, bool head) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (auto parsed = parseReply(_received, head)) {
            _received.erase(0, parsed->second);
            return std::move(parsed->first);
        }
        if (_received.find("\r\n\r\n") != std::string::npos && _received.rfind("HTTP/1.1 ", 0) != 0) return std::nullopt;
        if (!readMore(deadline)) return std::nullopt;
    }
}

bool RawClient::closedWithin(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (readMore(deadline)) {
    }
    return _closed;
}

void RawClient::shrinkReceiveBuffer() {
    const int bytes = 4096;
    ::setsockopt(_fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

HttpReply roundTrip(int port, const std::string& request, bool head) {
    RawClient client(port);
    client.send(request);
    return client.receive(5s, head).value_or(HttpReply{});
}

std::string get(const std::string& target, const std::string& extraHeaders) {
    return "GET " + target + " HTTP/1.1\r\nHost: test\r\n" + extraHeaders + "\r\n";
}

std::string post(const std::string& target, const std::string& body, const std::string& contentType, const std::string& extraHeaders) {
    return "POST " + target + " HTTP/1.1\r\nHost: test\r\nContent-Type: " + contentType + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n" + extraHeaders + "\r\n" + body;
}

std::string formBody(const std::vector<FormPart>& parts) {
    std::string body;
    for (const FormPart& part : parts) {
        body += std::string("--") + FORM_BOUNDARY + "\r\nContent-Disposition: form-data; name=\"" + part.name + "\"";
        if (!part.filename.empty()) body += "; filename=\"" + part.filename + "\"\r\nContent-Type: application/octet-stream";
        body += "\r\n\r\n" + part.content + "\r\n";
    }
    return body + "--" + FORM_BOUNDARY + "--\r\n";
}

std::string formContentType() { return std::string("multipart/form-data; boundary=") + FORM_BOUNDARY; }

}  // namespace quorvane::http::testing
