#pragma once
// Watches a request's header block as its bytes arrive, so that a line over its limit or one line too
// many stops the request before the rest of it is read or kept.
#include <cstddef>
#include <string_view>

#include "http/limits.h"

namespace quorvane::http {

class HeaderScanner {
public:
    enum class Result { needMore, complete, requestLineTooLong, headerLineTooLong, tooManyHeaderLines };

    explicit HeaderScanner(const Limits& limits) : _limits(limits) {}

    // Takes the bytes that follow those already scanned. After `complete`, blockSize() is the length
    // of the header block up to and including its empty line; bytes after it are not looked at.
    Result scan(std::string_view bytes);
    size_t blockSize() const { return _scanned; }
    // A Transfer-Encoding field was among the lines, whether or not the rest of the block parses.
    bool sawTransferEncoding() const { return _sawTransferEncoding; }

private:
    Result endOfLine();

    const Limits& _limits;
    size_t _scanned = 0;
    size_t _line = 0;          // 0: the request line
    size_t _lineBytes = 0;     // of the current line, its CR included
    size_t _leadingBytes = 0;  // of empty lines before the request line
    bool _lastWasCR = false;
    char _start[24] = {};  // the first bytes of the current line
    size_t _startBytes = 0;
    bool _sawTransferEncoding = false;
};

}  // namespace quorvane::http
