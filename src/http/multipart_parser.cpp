#include "http/multipart_parser.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "http/headers.h"
#include "http/http_error.h"

namespace quorvane::http {
namespace {

constexpr size_t MAX_DELIMITER_PADDING = 64;

[[noreturn]] void malformed(const std::string& why) { throw HttpError(400, "malformed multipart body: " + why); }

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// "type; a=b; c="d"": the type, then the parameters with lower-case names. Absent when a quoted value
// is not closed.
struct ParameterizedValue {
    std::string type;
    std::map<std::string, std::string> parameters;
};

std::optional<ParameterizedValue> parseParameterized(std::string_view text) {
    ParameterizedValue parsed;
    size_t pos = text.find(';');
    parsed.type = lowered(trimmedSpace(text.substr(0, pos)));
    while (pos != std::string_view::npos && pos < text.size()) {
        ++pos;  // past ';'
        const size_t equals = text.find('=', pos);
        const size_t semicolon = text.find(';', pos);
        if (equals == std::string_view::npos || equals > semicolon) {  // a bare word: skip it
            pos = semicolon;
            continue;
        }
        const std::string name = lowered(trimmedSpace(text.substr(pos, equals - pos)));
        size_t valueStart = text.find_first_not_of(" \t", equals + 1);
        std::string value;
        if (valueStart != std::string_view::npos && text[valueStart] == '"') {
            size_t i = valueStart + 1;
            for (; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) ++i;
                value.push_back(text[i]);
            }
            if (i >= text.size()) return std::nullopt;
            pos = text.find(';', i + 1);
        } else {
            pos = semicolon;
            if (valueStart != std::string_view::npos && valueStart < semicolon)
                value = std::string(trimmedSpace(text.substr(valueStart, semicolon - valueStart)));
        }
        parsed.parameters.emplace(name, std::move(value));
    }
    return parsed;
}

bool isBoundaryCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           std::string_view("'()+_,-./:=? ").find(c) != std::string_view::npos;
}

}  // namespace

std::optional<std::string> MultipartParser::boundaryOf(std::string_view contentType) {
    const auto parsed = parseParameterized(contentType);
    if (!parsed || parsed->type != "multipart/form-data") return std::nullopt;
    const auto found = parsed->parameters.find("boundary");
    if (found == parsed->parameters.end()) return std::nullopt;
    const std::string& boundary = found->second;
    if (boundary.empty() || boundary.size() > 70 || boundary.back() == ' ' || !std::all_of(boundary.begin(), boundary.end(), isBoundaryCharacter))
        return std::nullopt;
    return boundary;
}

MultipartParser::MultipartParser(const std::string& boundary, size_t maxParts, size_t maxPartHeaderBytes, Events& events)
    : _delimiter("\r\n--" + boundary),
      _search(_delimiter.begin(), _delimiter.end()),
      _maxParts(maxParts),
      _maxPartHeaderBytes(maxPartHeaderBytes),
      _events(events),
      _pending("\r\n") {}  // so the first delimiter, at the very start, has its CRLF like all others

void MultipartParser::feed(std::string_view bytes) {
    _pending.append(bytes);
    bool progress = true;
    while (progress) {
        switch (_state) {
            case State::preamble: progress = skipPreamble(); break;
            case State::afterDelimiter: progress = readDelimiterEnd(); break;
            case State::headers: progress = readHeaderLine(); break;
            case State::body: progress = readBody(); break;
            case State::epilogue:
                _pos = _pending.size();
                progress = false;
                break;
        }
    }
    _pending.erase(0, _pos);
    _pos = 0;
}

void MultipartParser::finish() const {
    if (_state != State::epilogue) malformed("it ends before its closing delimiter");
}

bool MultipartParser::skipPreamble() {
    const auto found = std::search(_pending.cbegin() + static_cast<std::ptrdiff_t>(_pos), _pending.cend(), _search);
    if (found == _pending.cend()) {
        _pos = std::max(_pos, _pending.size() - std::min(_pending.size(), _delimiter.size() - 1));
        return false;
    }
    _pos = static_cast<size_t>(found - _pending.cbegin()) + _delimiter.size();
    _state = State::afterDelimiter;
    return true;
}

bool MultipartParser::readDelimiterEnd() {
    const std::string_view rest = std::string_view(_pending).substr(_pos);
    if (rest.size() < 2) return false;
    if (rest.substr(0, 2) == "--") {
        _state = State::epilogue;
        return true;
    }
    const size_t end = rest.find_first_not_of(" \t");
    if (end == std::string_view::npos || end + 1 >= rest.size()) {
        if (rest.size() > MAX_DELIMITER_PADDING) malformed("a delimiter line is too long");
        return false;
    }
    if (rest.substr(end, 2) != "\r\n") malformed("a delimiter is followed by other text");
    _pos += end + 2;
    _state = State::headers;
    _headerBytes = 0;
    _part = Part();
    _sawDisposition = false;
    return true;
}

bool MultipartParser::readHeaderLine() {
    const std::string_view rest = std::string_view(_pending).substr(_pos);
    const size_t end = rest.find("\r\n");
    if (end == std::string_view::npos) {
        if (_headerBytes + rest.size() > _maxPartHeaderBytes) malformed("a part's headers are too long");
        return false;
    }
    _headerBytes += end + 2;
    if (_headerBytes > _maxPartHeaderBytes) malformed("a part's headers are too long");
    _pos += end + 2;
    if (end > 0) {
        headerLine(rest.substr(0, end));
        return true;
    }
    if (!_sawDisposition) malformed("a part has no Content-Disposition");
    if (++_parts > _maxParts) throw HttpError(413, "too many parts in a multipart body");
    _state = State::body;
    _events.partBegin(std::move(_part));
    return true;
}

void MultipartParser::headerLine(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) malformed("a part header has no name");
    const std::string_view name = line.substr(0, colon), value = trimmedSpace(line.substr(colon + 1));
    if (equalsIgnoringCase(name, "Content-Type")) {
        _part.contentType = std::string(value);
    } else if (equalsIgnoringCase(name, "Content-Disposition")) {
        const auto disposition = parseParameterized(value);
        if (!disposition || disposition->type != "form-data") malformed("a part is not form-data");
        const auto partName = disposition->parameters.find("name");
        if (partName == disposition->parameters.end()) malformed("a part has no name");
        _part.name = partName->second;
        const auto filename = disposition->parameters.find("filename");
        _part.hasFilename = filename != disposition->parameters.end();
        if (_part.hasFilename) _part.filename = filename->second;
        _sawDisposition = true;
    }
}

bool MultipartParser::readBody() {
    const auto from = _pending.cbegin() + static_cast<std::ptrdiff_t>(_pos);
    const auto found = std::search(from, _pending.cend(), _search);
    if (found == _pending.cend()) {
        // The tail may be the start of a delimiter: keep it until the next piece.
        const size_t safe = _pending.size() - std::min(_pending.size(), _delimiter.size() - 1);
        if (safe > _pos) {
            _events.partData(std::string_view(_pending).substr(_pos, safe - _pos));
            _pos = safe;
        }
        return false;
    }
    const size_t at = static_cast<size_t>(found - _pending.cbegin());
    if (at > _pos) _events.partData(std::string_view(_pending).substr(_pos, at - _pos));
    _events.partEnd();
    _pos = at + _delimiter.size();
    _state = State::afterDelimiter;
    return true;
}

}  // namespace quorvane::http
