#include "http/header_scanner.h"

#include <algorithm>
#include <cstring>

#include "http/headers.h"

namespace quorvane::http {

HeaderScanner::Result HeaderScanner::scan(std::string_view bytes) {
    size_t pos = 0;
    while (pos < bytes.size()) {
        const void* found = std::memchr(bytes.data() + pos, '\n', bytes.size() - pos);
        const size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - bytes.data()) : bytes.size();
        const std::string_view piece = bytes.substr(pos, end - pos);
        if (!piece.empty()) {
            const size_t copied = std::min(piece.size(), sizeof _start - _startBytes);
            std::memcpy(_start + _startBytes, piece.data(), copied);
            _startBytes += copied;
            _lastWasCR = piece.back() == '\r';
        }
        _lineBytes += piece.size();
        _scanned += piece.size();
        // One byte over the limit is the line's CR, seen before its LF. Empty lines before a request
        // line are allowed, but they count against its length.
        const size_t limit = _line == 0 ? _limits.maxRequestLineBytes : _limits.maxHeaderLineBytes;
        const size_t counted = _lineBytes + (_line == 0 ? _leadingBytes : 0);
        if (counted > limit + 1 || (counted == limit + 1 && !_lastWasCR)) return _line == 0 ? Result::requestLineTooLong : Result::headerLineTooLong;
        if (!found) return Result::needMore;
        ++_scanned;
        pos = end + 1;
        const Result result = endOfLine();
        if (result != Result::needMore) return result;
    }
    return Result::needMore;
}

HeaderScanner::Result HeaderScanner::endOfLine() {
    const size_t content = _lineBytes - (_lastWasCR ? 1 : 0);
    if (_line == 0 && content == 0) {
        _leadingBytes += _lineBytes + 1;
        _lineBytes = 0;
        _lastWasCR = false;
        return _leadingBytes > _limits.maxRequestLineBytes ? Result::requestLineTooLong : Result::needMore;
    }
    if (_line > 0 && content == 0) return Result::complete;
    if (_line > 0) {
        if (_line > _limits.maxHeaderLines) return Result::tooManyHeaderLines;
        const std::string_view start(_start, _startBytes);
        const std::string_view name = "transfer-encoding";
        if (start.size() > name.size() && equalsIgnoringCase(start.substr(0, name.size()), name) &&
            trimmedSpace(start.substr(name.size())).substr(0, 1) == ":")
            _sawTransferEncoding = true;
    }
    ++_line;
    _lineBytes = 0;
    _startBytes = 0;
    _lastWasCR = false;
    return Result::needMore;
}

}  // namespace quorvane::http
