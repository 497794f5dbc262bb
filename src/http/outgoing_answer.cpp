#include "http/outgoing_answer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

#include <boost/beast/http/status.hpp>

#include "core/file_io.h"
#include "core/utf8_path.h"
#include "http/byte_range.h"
#include "http/headers.h"

namespace quorvane::http {
namespace {

std::string reasonOf(int status) {
    const auto known = boost::beast::http::int_to_status(static_cast<unsigned>(status));
    if (known == boost::beast::http::status::unknown) return "Unknown";
    const auto reason = boost::beast::http::obsolete_reason(known);
    return std::string(reason.data(), reason.size());
}

bool isToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
               std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
    });
}

bool isSafeValue(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos; }

// Fields only the transport writes.
bool isTransportField(std::string_view name) {
    for (const std::string_view own : {"Content-Length", "Transfer-Encoding", "Connection"})
        if (equalsIgnoringCase(name, own)) return true;
    return false;
}

bool hasBody(int status) { return status >= 200 && status != 204 && status != 304; }

// Opens the file of a file answer and decides what of it goes. Changes the response to 404 when the
// file cannot be opened, to 416 for a range that cannot be satisfied.
void openFile(Response& response, const AnswerContext& context, OutgoingAnswer& out, Application& application) {
    const std::filesystem::path path = response.file->path;
    FileDescriptor fd(openFileDescriptor(path, O_RDONLY));
    const std::optional<uint64_t> regularSize = fd ? regularFileSize(fd.get()) : std::nullopt;
    if (!regularSize) {
        application.log(LogLevel::debug, "cannot open " + utf8Of(path) + ": " + std::strerror(errno));
        response = errorResponse(404);
        return;
    }
    const uint64_t size = *regularSize;
    std::erase_if(response.headers,
                  [](const Header& h) { return equalsIgnoringCase(h.name, "Content-Range") || equalsIgnoringCase(h.name, "Accept-Ranges"); });
    RangeDecision range;
    if (response.rangesAllowed) {
        response.headers.push_back({"Accept-Ranges", "bytes"});
        if (response.status == 200 && !context.ifRange) range = decideRange(context.range, size);
    }
    if (range.kind == RangeDecision::Kind::unsatisfiable) {
        response = errorResponse(416);
        response.headers.push_back({"Content-Range", "bytes */" + std::to_string(size)});
        return;
    }
    out.fileOffset = 0;
    out.fileRemaining = size;
    if (range.kind == RangeDecision::Kind::single) {
        response.status = 206;
        response.headers.push_back(
            {"Content-Range", "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" + std::to_string(size)});
        out.fileOffset = range.first;
        out.fileRemaining = range.last - range.first + 1;
    }
    if (!context.head && hasBody(response.status)) out.file = std::move(fd);
}

}  // namespace

Response errorResponse(int status) {
    Response response;
    response.status = status;
    response.headers.push_back({"Content-Type", "text/plain; charset=utf-8"});
    response.body = reasonOf(status);
    return response;
}

OutgoingAnswer prepareAnswer(Response response, const AnswerContext& context, Application& application) {
    OutgoingAnswer out;
    if (response.status < 200 || response.status > 599) {
        application.log(LogLevel::error, "an answer with status " + std::to_string(response.status) + " became 500");
        response = errorResponse(500);
    }
    if (response.file) openFile(response, context, out, application);
    const bool fromFile = response.file.has_value();
    try {
        application.finish(response);
    } catch (const std::exception& error) {
        application.log(LogLevel::error, std::string("finishing an answer failed: ") + error.what());
    }
    out.status = response.status;
    out.close = response.close || !context.keepAlive;
    std::string& head = out.head;
    head = "HTTP/1.1 " + std::to_string(response.status) + " " + reasonOf(response.status) + "\r\n";
    for (const Header& header : response.headers) {
        if (isTransportField(header.name)) continue;
        if (!isToken(header.name) || !isSafeValue(header.value)) {
            application.log(LogLevel::error, "a response header that cannot be sent was dropped: " + header.name);
            continue;
        }
        head += header.name + ": " + header.value + "\r\n";
    }
    if (hasBody(response.status)) {
        const uint64_t length = fromFile ? out.fileRemaining : response.body.size();
        head += "Content-Length: " + std::to_string(length) + "\r\n";
    }
    if (out.close) head += "Connection: close\r\n";
    head += "\r\n";
    if (!fromFile && !context.head && hasBody(response.status)) out.body = std::move(response.body);
    return out;
}

bool readNextPiece(OutgoingAnswer& answer, std::string& buffer, size_t maxPiece) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(maxPiece, answer.fileRemaining));
    buffer.resize(want);
    size_t got = 0;
    while (got < want) {
        const int64_t count = readAt(answer.file.get(), buffer.data() + got, want - got, answer.fileOffset + got);
        if (count <= 0) return false;
        got += static_cast<size_t>(count);
    }
    answer.fileOffset += want;
    answer.fileRemaining -= want;
    return true;
}

}  // namespace quorvane::http
