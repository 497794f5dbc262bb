#include "model/text.h"

#include <cctype>

namespace quorvane {

std::string_view trimmed(std::string_view text) {
    const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> splitAt(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t begin = 0;
    while (true) {
        const size_t at = text.find(separator, begin);
        parts.push_back(text.substr(begin, at == std::string_view::npos ? std::string_view::npos : at - begin));
        if (at == std::string_view::npos) return parts;
        begin = at + 1;
    }
}

std::string toLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string escapedForLog(std::string_view text) {
    static constexpr char HEX[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f && byte != '\\') {
            escaped.push_back(c);
            continue;
        }
        escaped += "\\x";
        escaped.push_back(HEX[byte >> 4]);
        escaped.push_back(HEX[byte & 0xf]);
    }
    return escaped;
}

size_t characterCount(std::string_view text) {
    size_t count = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

std::string shortened(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    size_t end = maxBytes;
    // Continuation bytes are 10xxxxxx: step back to the first byte of the character that was cut.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end)) + "...";
}

}  // namespace quorvane
