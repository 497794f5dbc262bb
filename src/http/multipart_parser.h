#pragma once
// multipart/form-data taken apart as it streams in: delimiters may be split anywhere between pieces,
// a part's headers are bounded, and a body that breaks the structure answers 400.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "http/message.h"

namespace quorvane::http {

class MultipartParser {
public:
    class Events {
    public:
        virtual ~Events() = default;
        // The part's headers have arrived (name, filename, contentType, hasFilename are set).
        virtual void partBegin(Part part) = 0;
        virtual void partData(std::string_view bytes) = 0;
        virtual void partEnd() = 0;
    };

    // The boundary of a "multipart/form-data; boundary=..." content type; absent for any other type
    // or a boundary that is missing or not 1 to 70 characters long.
    static std::optional<std::string> boundaryOf(std::string_view contentType);

    MultipartParser(const std::string& boundary, size_t maxParts, size_t maxPartHeaderBytes, Events& events);
    MultipartParser(const MultipartParser&) = delete;
    MultipartParser& operator=(const MultipartParser&) = delete;

    // HttpError (400 for a broken structure, 413 for too many parts) ends the body.
    void feed(std::string_view bytes);
    // The body has ended: HttpError 400 unless the closing delimiter has come.
    void finish() const;

private:
    enum class State { preamble, afterDelimiter, headers, body, epilogue };
    // Each returns false when it needs more bytes.
    bool skipPreamble();
    bool readDelimiterEnd();
    bool readHeaderLine();
    bool readBody();
    void headerLine(std::string_view line);

    std::string _delimiter;  // CRLF "--" boundary
    std::boyer_moore_horspool_searcher<std::string::const_iterator> _search;
    size_t _maxParts, _maxPartHeaderBytes;
    Events& _events;
    State _state = State::preamble;
    std::string _pending;  // bytes not yet taken apart
    size_t _pos = 0;       // into _pending
    size_t _parts = 0;
    size_t _headerBytes = 0;
    Part _part;
    bool _sawDisposition = false;
};

}  // namespace quorvane::http
