// Session cookies come from any browser on the school network: whatever the Cookie header holds, reading
// it never crashes, a session verifies only under the key that signed it, and what verifies signs again
// into a cookie that reads back as the same session.
#include "fuzz_input.h"
#include "web/session.h"

namespace {

using namespace quorvane::web;
namespace fuzz = quorvane::fuzz;

constexpr std::string_view KEY = "the signing key of this installation";
constexpr std::string_view OTHER_KEY = "the signing key of another installation";

bool sameSession(const Session& a, const Session& b) {
    return a.loggedIn() == b.loggedIn() && a.permanent() == b.permanent() && a.generation() == b.generation() && a.issuedAt() == b.issuedAt() &&
           a.id() == b.id();
}

void cookieHeader(const std::string& text) {
    const Session session = Session::fromCookieHeader(text, KEY);
    if (!session.loggedIn()) return;
    const std::string value = session.encode(KEY);
    fuzz::require(sameSession(Session::decode(value, KEY), session), "a verified session signs again into itself", text);
    fuzz::require(!Session::decode(value, OTHER_KEY).loggedIn(), "a session verifies only under its own key", text);
}

// The input as the JSON inside a cookie that this installation signed, and the same under another key.
void signedPayload(const std::string& text) {
    const std::string value = signedCookieValue(text, OTHER_KEY);
    fuzz::require(!Session::decode(value, KEY).loggedIn(), "a cookie signed under another key is refused", text);
    const Session session = Session::decode(signedCookieValue(text, KEY), KEY);
    if (session.loggedIn()) fuzz::require(sameSession(Session::decode(session.encode(KEY), KEY), session), "a signed session reads back", text);
}

void base64(const std::string& text) {
    fuzz::require(base64UrlDecode(base64UrlEncode(text)) == text, "base64url reads back", text);
    if (const auto bytes = base64UrlDecode(text)) (void)base64UrlEncode(*bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = quorvane::fuzz::inputText(data, size);
    cookieHeader(text);
    cookieHeader("session=" + text);
    signedPayload(text);
    base64(text);
    (void)cookieValue(text, SESSION_COOKIE_NAME);
    return 0;
}
