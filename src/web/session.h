#pragma once
// Sessions: what a browser holds in a cookie that the server signs with HMAC-SHA256 under its signing
// key, so the browser can hold it but not change it undetected. A logged-in session names the credentials'
// session generation it was issued in, its issue time and a random id, so that it can expire and be
// revoked. Cookies from before generations existed carry only loggedIn and permanent.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::web {

inline constexpr const char* SESSION_COOKIE_NAME = "session";
// A remembered login lasts this long, in the browser as on the server.
inline constexpr int64_t PERMANENT_SESSION_SECONDS = 30 * 24 * 3600;
// Any other login lasts a working day at most, even when the browser keeps its session cookie longer
// (browsers that restore their last session do).
inline constexpr int64_t WORKDAY_SESSION_SECONDS = 12 * 3600;

class Session {
public:
    bool loggedIn() const { return _loggedIn; }
    bool permanent() const { return _permanent; }
    std::optional<int64_t> generation() const { return _generation; }
    std::optional<int64_t> issuedAt() const { return _issuedAt; }
    const std::string& id() const { return _id; }

    // A new login: a fresh random id, issued now in the given credentials generation.
    void logIn(bool permanent, int64_t generation, int64_t now);
    void logOut();
    // True once a handler has changed the session: only then is the cookie sent again.
    bool modified() const { return _modified; }

    // Logged in by a cookie from before generations existed: no generation, no issue time, no id.
    bool isLegacy() const { return _loggedIn && !_generation; }
    // Seconds since the epoch at which the server stops honouring the session; absent for a legacy one.
    std::optional<int64_t> expiresAt() const;
    // Logged in, of the current generation and not expired (a legacy session counts as generation 0 and
    // never expires). Revocation is the credentials' business.
    bool isCurrent(int64_t currentGeneration, int64_t now) const;

    // The signed cookie value.
    std::string encode(std::string_view signingKey) const;
    // The session of a cookie value; an empty session when the value does not parse or its signature
    // does not verify under the key.
    static Session decode(std::string_view cookieValue, std::string_view signingKey);
    // The session of the request's Cookie header (empty when it has no session cookie).
    static Session fromCookieHeader(std::string_view header, std::string_view signingKey);

    // The Set-Cookie header value: HttpOnly, SameSite=Strict, Path=/, a lifetime only when permanent,
    // and Secure when it goes out over HTTPS (a browser then never sends it in plain).
    std::string setCookieHeader(std::string_view signingKey, bool secure = false) const;

private:
    bool _loggedIn = false;
    bool _permanent = false;
    std::optional<int64_t> _generation;
    std::optional<int64_t> _issuedAt;
    std::string _id;
    bool _modified = false;
};

// A cookie value carrying the JSON text, signed under the key: payload "." signature, both base64url.
std::string signedCookieValue(std::string_view json, std::string_view signingKey);

// The value of the named cookie in a Cookie header, absent when the header does not name it.
std::optional<std::string> cookieValue(std::string_view header, std::string_view name);

// base64url without padding, as the cookie carries it; decoding refuses anything else.
std::string base64UrlEncode(std::string_view bytes);
std::optional<std::string> base64UrlDecode(std::string_view text);

}  // namespace quorvane::web
