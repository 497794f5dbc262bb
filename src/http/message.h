#pragma once
// What the transport hands to the application and what it takes back.
#include <any>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "http/headers.h"
#include "http/uploaded_file.h"

namespace quorvane::http {

// One part of a multipart/form-data body.
struct Part {
    std::string name, filename, contentType;
    bool hasFilename = false;            // a filename parameter was sent (it may be empty)
    std::string value;                   // parts without a filename, in memory
    std::shared_ptr<UploadedFile> file;  // parts with a filename, streamed to a temporary file
};

struct Request {
    std::string method;                                      // as sent: GET, HEAD, POST, PUT, TRACE...
    std::string target;                                      // raw request target
    std::string path;                                        // percent-decoded path without the query
    std::vector<std::pair<std::string, std::string>> query;  // decoded, in order
    Headers headers;
    std::string remoteAddress;   // textual peer address ("127.0.0.1")
    bool secure = false;         // it came over TLS
    uint64_t contentLength = 0;  // as announced; 0 when absent
    std::string body;            // BodyPlan::Kind::inMemory bodies
    std::vector<Part> parts;     // BodyPlan::Kind::multipart bodies
    std::any planContext;        // BodyPlan::context, for the handler

    bool announcedBody() const { return contentLength > 0; }
};

// Sent from the file in pieces, never read whole.
struct FileBody {
    std::filesystem::path path;
};

struct Response {
    int status = 200;
    // Content-Type among them. The transport sets Content-Length, Content-Range and Accept-Ranges for
    // files, and Connection: close when it closes; values the application gives for those are dropped.
    std::vector<Header> headers;
    std::string body;
    std::optional<FileBody> file;  // when set, `body` is ignored
    bool rangesAllowed = false;    // honour a Range header (files only)
    bool close = false;            // close the connection after this answer

    // Replaces every earlier value of the field.
    void setHeader(std::string_view name, std::string value);
    // The first value of the field, "" when absent.
    const std::string& header(std::string_view name) const;
};

// What happens with a request's body, decided from its headers before any byte of the body is read.
struct BodyPlan {
    enum class Kind {
        refuse,     // answer `refusal` at once; the connection closes when a body was announced
        none,       // no body expected: one sent anyway is read and discarded up to maxInMemoryBody, 413 above
        inMemory,   // the body in Request::body, up to maxInMemoryBody (413 above)
        multipart,  // multipart/form-data into Request::parts; any other content type answers 415
    };
    Kind kind = Kind::none;
    Response refusal;                   // for refuse
    std::filesystem::path spoolFolder;  // for multipart: where file parts are streamed
    // For multipart: called once per file part when its headers have arrived; the function it returns
    // (may be empty) sees every byte of that part in order, on the thread that writes the part.
    std::function<std::function<void(std::string_view)>(const Part&)> observeFilePart;
    // Handed to handle() as Request::planContext: where the observers leave what they found.
    std::any context;
    // handle() runs at once on the I/O thread that read the request instead of on a worker, which
    // saves two hand-offs between threads: only for a handler that answers from memory in moments and
    // never waits on a file, the network or a long lock. Not for bodies that are spooled.
    bool handleInline = false;
};

}  // namespace quorvane::http
