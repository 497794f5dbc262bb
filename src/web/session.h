#pragma once
// Sessions: two truth values kept in a cookie that the server signs with HMAC-SHA256 under its signing
// key, so the browser can hold them but not change them undetected.
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::web {

inline constexpr const char* SESSION_COOKIE_NAME = "session";
// A remembered login outlives the browser session by this long.
inline constexpr int PERMANENT_SESSION_SECONDS = 30 * 24 * 3600;

class Session {
public:
    bool loggedIn() const { return _loggedIn; }
    bool permanent() const { return _permanent; }
    void setLoggedIn(bool value) {
        _loggedIn = value;
        _modified = true;
    }
    void setPermanent(bool value) {
        _permanent = value;
        _modified = true;
    }
    // True once a handler has set an entry: only then is the cookie sent again.
    bool modified() const { return _modified; }

    // The signed cookie value.
    std::string encode(std::string_view signingKey) const;
    // The session of a cookie value; an empty session when the value does not parse or its signature
    // does not verify under the key.
    static Session decode(std::string_view cookieValue, std::string_view signingKey);
    // The session of the request's Cookie header (empty when it has no session cookie).
    static Session fromCookieHeader(std::string_view header, std::string_view signingKey);

    // The Set-Cookie header value: HttpOnly, SameSite=Strict, Path=/, and a lifetime only when permanent.
    std::string setCookieHeader(std::string_view signingKey) const;

private:
    bool _loggedIn = false;
    bool _permanent = false;
    bool _modified = false;
};

// The value of the named cookie in a Cookie header, absent when the header does not name it.
std::optional<std::string> cookieValue(std::string_view header, std::string_view name);

// base64url without padding, as the cookie carries it; decoding refuses anything else.
std::string base64UrlEncode(std::string_view bytes);
std::optional<std::string> base64UrlDecode(std::string_view text);

}  // namespace quorvane::web
