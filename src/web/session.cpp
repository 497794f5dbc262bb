#include "web/session.h"

#include "model/digest.h"
#include "model/json_text.h"
#include "model/text.h"
#include "model/uuid.h"

namespace quorvane::web {
namespace {

// 128 random bits: not guessable, and short enough for a cookie.
constexpr size_t SESSION_ID_BYTES = 16;
constexpr int64_t CLOCK_SKEW_SECONDS = 5 * 60;

constexpr std::string_view BASE64_URL_ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

int base64UrlValue(char c) {
    const size_t position = BASE64_URL_ALPHABET.find(c);
    return position == std::string_view::npos ? -1 : static_cast<int>(position);
}

// The signature covers the cookie's name too, so a value signed for another purpose never passes.
std::string signature(std::string_view payload, std::string_view signingKey) {
    return base64UrlEncode(hmacSha256(signingKey, std::string(SESSION_COOKIE_NAME) + "." + std::string(payload)));
}

}  // namespace

std::string base64UrlEncode(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() * 4 + 2) / 3);
    uint32_t buffer = 0;
    int bits = 0;
    for (const unsigned char byte : bytes) {
        buffer = (buffer << 8) | byte;
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            text.push_back(BASE64_URL_ALPHABET[(buffer >> bits) & 0x3f]);
        }
    }
    if (bits > 0) text.push_back(BASE64_URL_ALPHABET[(buffer << (6 - bits)) & 0x3f]);
    return text;
}

std::optional<std::string> base64UrlDecode(std::string_view text) {
    if (text.size() % 4 == 1) return std::nullopt;
    std::string bytes;
    uint32_t buffer = 0;
    int bits = 0;
    for (const char c : text) {
        const int value = base64UrlValue(c);
        if (value < 0) return std::nullopt;
        buffer = (buffer << 6) | static_cast<uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<char>((buffer >> bits) & 0xff));
        }
    }
    // Left-over bits must be zero, so that every byte string has exactly one text form.
    if ((buffer & ((1u << bits) - 1)) != 0) return std::nullopt;
    return bytes;
}

void Session::logIn(bool permanent, int64_t generation, int64_t now) {
    _loggedIn = true;
    _permanent = permanent;
    _generation = generation;
    _issuedAt = now;
    _id = randomHex(SESSION_ID_BYTES);
    _modified = true;
}

void Session::logOut() {
    *this = Session();
    _modified = true;
}

std::optional<int64_t> Session::expiresAt() const {
    if (!_issuedAt) return std::nullopt;
    return *_issuedAt + (_permanent ? PERMANENT_SESSION_SECONDS : WORKDAY_SESSION_SECONDS);
}

bool Session::isCurrent(int64_t currentGeneration, int64_t now) const {
    if (!_loggedIn) return false;
    if (isLegacy()) return currentGeneration == 0;
    // A clock set back by more than a few minutes ends the sessions issued before; the other way round a
    // wrong clock could stretch a session far beyond its lifetime.
    return *_generation == currentGeneration && *_issuedAt <= now + CLOCK_SKEW_SECONDS && now < *expiresAt();
}

std::string Session::encode(std::string_view signingKey) const {
    Json entries = Json::object();
    entries["loggedIn"] = _loggedIn;
    entries["permanent"] = _permanent;
    if (_generation) {
        entries["generation"] = *_generation;
        entries["issuedAt"] = *_issuedAt;
        entries["id"] = _id;
    }
    return signedCookieValue(toJsonText(entries), signingKey);
}

Session Session::decode(std::string_view cookieValue, std::string_view signingKey) {
    const size_t dot = cookieValue.find('.');
    if (dot == std::string_view::npos) return {};
    const std::string_view payload = cookieValue.substr(0, dot);
    if (!constantTimeEquals(signature(payload, signingKey), cookieValue.substr(dot + 1))) return {};
    const std::optional<std::string> text = base64UrlDecode(payload);
    if (!text) return {};
    const Json entries = Json::parse(*text, nullptr, false);
    if (!entries.is_object()) return {};
    Session session;
    const auto entry = [&](const char* name) {
        const auto found = entries.find(name);
        return found != entries.end() && found->is_boolean() && found->get<bool>();
    };
    const auto integer = [&](const char* name) -> std::optional<int64_t> {
        const auto found = entries.find(name);
        if (found == entries.end() || !found->is_number_integer()) return std::nullopt;
        return found->get<int64_t>();
    };
    session._loggedIn = entry("loggedIn");
    session._permanent = entry("permanent");
    if (entries.contains("generation")) {
        const auto id = entries.find("id");
        session._generation = integer("generation");
        session._issuedAt = integer("issuedAt");
        if (id != entries.end() && id->is_string()) session._id = id->get<std::string>();
        // Only this server writes these, so a part missing means the value is not one of its cookies.
        if (!session._generation || !session._issuedAt || session._id.empty()) return {};
    }
    return session;
}

Session Session::fromCookieHeader(std::string_view header, std::string_view signingKey) {
    const std::optional<std::string> value = cookieValue(header, SESSION_COOKIE_NAME);
    return value ? decode(*value, signingKey) : Session{};
}

std::string Session::setCookieHeader(std::string_view signingKey, bool secure) const {
    std::string header = std::string(SESSION_COOKIE_NAME) + "=" + encode(signingKey) + "; HttpOnly; SameSite=Strict; Path=/";
    if (_permanent) header += "; Max-Age=" + std::to_string(PERMANENT_SESSION_SECONDS);
    if (secure) header += "; Secure";
    return header;
}

std::string signedCookieValue(std::string_view json, std::string_view signingKey) {
    const std::string payload = base64UrlEncode(json);
    return payload + "." + signature(payload, signingKey);
}

std::optional<std::string> cookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const size_t end = header.find(';');
        const std::string_view pair = trimmed(header.substr(0, end));
        header = end == std::string_view::npos ? std::string_view{} : header.substr(end + 1);
        const size_t equals = pair.find('=');
        if (equals == std::string_view::npos || trimmed(pair.substr(0, equals)) != name) continue;
        std::string_view value = trimmed(pair.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::nullopt;
}

}  // namespace quorvane::web
