#include "model/json_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

#include "model/errors.h"

namespace quorvane {
namespace {

void appendUnicodeEscape(std::string& out, unsigned unit) {
    static constexpr char hex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += hex[(unit >> shift) & 0xF];
}

// Decodes one UTF-8 sequence starting at text[i]; returns U+FFFD for bytes that are not valid UTF-8.
char32_t nextCodePoint(const std::string& text, size_t& i) {
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    int length = 0;
    char32_t point = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, point = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, point = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, point = lead & 0x07;
    if (length == 0 || i + length > text.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        point = (point << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
    if (overlong || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += length;
    return point;
}

void appendString(std::string& out, const std::string& text) {
    out += '"';
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            switch (c) {
                case '"': out += "\\\""; break;
                case '\\': out += "\\\\"; break;
                case '\n': out += "\\n"; break;
                case '\r': out += "\\r"; break;
                case '\t': out += "\\t"; break;
                case '\b': out += "\\b"; break;
                case '\f': out += "\\f"; break;
                default:
                    if (c < 0x20 || c == 0x7F) appendUnicodeEscape(out, c);
                    else out += static_cast<char>(c);
            }
            continue;
        }
        const char32_t point = nextCodePoint(text, i);
        if (point >= 0x10000) {
            const char32_t v = point - 0x10000;
            appendUnicodeEscape(out, 0xD800 + (v >> 10));
            appendUnicodeEscape(out, 0xDC00 + (v & 0x3FF));
        } else {
            appendUnicodeEscape(out, point);
        }
    }
    out += '"';
}

void append(std::string& out, const Json& value) {
    switch (value.type()) {
        case Json::value_t::null: out += "null"; break;
        case Json::value_t::boolean: out += value.get<bool>() ? "true" : "false"; break;
        case Json::value_t::number_integer: out += std::to_string(value.get<int64_t>()); break;
        case Json::value_t::number_unsigned: out += std::to_string(value.get<uint64_t>()); break;
        case Json::value_t::number_float: out += realText(value.get<double>()); break;
        case Json::value_t::string: appendString(out, value.get_ref<const std::string&>()); break;
        case Json::value_t::array: {
            out += '[';
            bool first = true;
            for (const auto& item : value) {
                if (!first) out += ", ";
                first = false;
                append(out, item);
            }
            out += ']';
            break;
        }
        case Json::value_t::object: {
            out += '{';
            bool first = true;
            for (const auto& [key, item] : value.items()) {
                if (!first) out += ", ";
                first = false;
                appendString(out, key);
                out += ": ";
                append(out, item);
            }
            out += '}';
            break;
        }
        case Json::value_t::binary:
        case Json::value_t::discarded: out += "null"; break;
    }
}

}  // namespace

std::string realText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    // The shortest digits that read back exactly; plain notation for decimal exponents from -4 to 15 and an
    // exponent outside them (0.0001, 100000.0, 1e+16, 1e-05).
    char buffer[64];
    const auto scientific = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const char* exponentText = std::find(buffer, scientific.ptr, 'e') + 1;
    if (*exponentText == '+') ++exponentText;
    int exponent = 0;
    std::from_chars(exponentText, scientific.ptr, exponent);
    if (exponent < -4 || exponent >= 16) return std::string(buffer, scientific.ptr);
    const auto plain = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::string text(buffer, plain.ptr);
    if (text.find('.') == std::string::npos) text += ".0";
    return text;
}

std::string toJsonText(const Json& value) {
    std::string out;
    out.reserve(256);
    append(out, value);
    return out;
}

bool isInt64(const Json& value) {
    return value.is_number_integer() &&
           !(value.is_number_unsigned() && value.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()));
}

namespace {

// Deeper nesting than any record has is refused before parsing: the parser is iterative, but copies,
// comparisons and the writer of the values recurse, and a deep enough body would overflow the stack.
bool nestedTooDeeply(const std::string& text) {
    size_t depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > MAX_JSON_DEPTH) return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

}  // namespace

Json parseJson(const std::string& text) {
    if (nestedTooDeeply(text)) throw DecodeError("not valid JSON: nested more than " + std::to_string(MAX_JSON_DEPTH) + " deep");
    try {
        return Json::parse(text);
    } catch (const Json::exception& error) {  // a syntax error, or a number too large for a double (1e400)
        throw DecodeError(std::string("not valid JSON: ") + error.what());
    }
}

Json parseStoredJson(const std::string& text) {
    // Outside strings, the three words can only be the literals; inside them they are left alone.
    static constexpr std::string_view LITERALS[] = {"NaN", "-Infinity", "Infinity"};
    std::string quoted;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            quoted += c;
            if (c == '\\' && i + 1 < text.size()) quoted += text[++i];
            else if (c == '"') inString = false;
            continue;
        }
        if (c == '"') inString = true;
        const auto literal = std::find_if(std::begin(LITERALS), std::end(LITERALS),
                                          [&](std::string_view word) { return std::string_view(text).substr(i, word.size()) == word; });
        if (literal == std::end(LITERALS)) {
            quoted += c;
            continue;
        }
        quoted += '"';
        quoted += *literal;
        quoted += '"';
        i += literal->size() - 1;
    }
    return parseJson(quoted);
}

}  // namespace quorvane
