#include "web/auth_handlers.h"

#include <spdlog/spdlog.h>

#include "core/event_counts.h"
#include "model/errors.h"
#include "model/password_hash.h"
#include "storage/stored_records.h"
#include "web/login_throttle.h"

namespace quorvane::web {
namespace {

// The member when it is a text.
const std::string* textMember(const Json& object, const char* name) {
    const auto member = object.find(name);
    if (member == object.end() || !member->is_string()) return nullptr;
    return &member->get_ref<const std::string&>();
}

// A password attempt from the client's address: 429 while the address must wait; otherwise absent, and
// the attempt counts as failed until recordSuccess.
std::optional<Reply> admitAttempt(const RequestContext& context) {
    if (const int64_t wait = loginThrottle.admit(context.clientAddress, context.now); wait > 0)
        return tooManyRequests("Too many wrong passwords. Try again in " + std::to_string(wait) + " seconds.", wait);
    return std::nullopt;
}

// A password kept in the old form is rewritten in the new one, unless another request changed it
// meanwhile. The frame saves it before the answer leaves.
void renewOldForm(const StoredPassword& checked, const std::string& password) {
    const std::string renewed = hashPassword(password);
    StateLock lock;
    if (shadow.view(lock)._pwd != checked.pwd) return;
    shadow.edit(lock)._pwd = renewed;  // the same password: every session stays valid
    spdlog::info("The stored password was rewritten as a scrypt hash");
}

// A password check: 429 while the address must wait, "failure" when the password does not match
// (counted), absent when it matches (the address starts afresh). The hash is worked out without the
// state lock: it takes a tenth of a second, in which the bells and other requests must not wait. A
// matching password of the old form is rewritten, unless the caller replaces it anyway.
enum class OldForm { renew, replacedAnyway };
std::optional<Reply> checkPassword(const RequestContext& context, const std::string& password, const std::string& failure,
                                   OldForm oldForm = OldForm::renew) {
    if (auto refusal = admitAttempt(context)) return refusal;
    StoredPassword stored;
    {
        StateLock lock;
        stored = shadow.view(lock).storedPassword();
    }
    if (!stored.matches(password)) {
        EventCounts::failedLogin();
        return BadRequest(failure);
    }
    loginThrottle.recordSuccess(context.clientAddress);
    if (oldForm == OldForm::renew && stored.isOldForm()) renewOldForm(stored, password);
    return std::nullopt;
}

}  // namespace

Reply auth_login(RequestContext& context) {
    const Json& body = context.json;
    const std::string* password = body.is_object() ? textMember(body, "userPassword") : nullptr;
    // A body of the wrong shape is a failed attempt like a wrong password, counted alike: guessing
    // shapes gives nothing away.
    if (!password || !body.contains("remember")) {
        if (auto refusal = admitAttempt(context)) return *refusal;
        EventCounts::failedLogin();
        return BadRequest("Login failed");
    }
    if (auto refusal = checkPassword(context, *password, "Login failed")) return *refusal;
    const auto remember = body.find("remember");
    const bool permanent =
        !(remember->is_null() || (remember->is_boolean() && !remember->get<bool>()) || (remember->is_number() && remember->get<double>() == 0.0) ||
          (remember->is_string() && remember->get_ref<const std::string&>().empty()) || (remember->is_structured() && remember->empty()));
    int64_t generation = 0;
    {
        StateLock lock;
        generation = shadow.view(lock)._sessionGeneration;
    }
    context.session.logIn(permanent, generation, context.now);
    return redirect("/");
}

Reply auth_logout(RequestContext& context) {
    const Session& session = context.session;
    if (session.loggedIn()) {
        StateLock lock;
        Shadow& credentials = shadow.edit(lock);
        // Cookies from before generations existed are alike for every browser: ending one ends them all.
        if (session.isLegacy()) credentials.startNewSessionGeneration();
        else credentials.revokeSession(session.id(), *session.expiresAt(), context.now);
    }
    context.session.logOut();
    return redirect("/login");
}

// While no password is set the body is the new password as a JSON text (an object with newPassword is
// taken too); afterwards {"currentPassword": ..., "newPassword": ...}.
Reply auth_chpasswd(RequestContext& context) {
    const Json& body = context.json;
    if (!body.is_string() && !body.is_object()) return BadRequest("The password change body must be a JSON text or object");
    const std::string* newPassword = body.is_string() ? &body.get_ref<const std::string&>() : textMember(body, "newPassword");
    if (!newPassword) return BadRequest("newPassword must be a text");
    std::optional<std::string> currentPassword;
    if (body.is_object() && body.contains("currentPassword")) {
        const std::string* given = textMember(body, "currentPassword");
        if (!given) return BadRequest("currentPassword must be a text");
        currentPassword = *given;
    }
    bool passwordSet = false;
    {
        StateLock lock;
        passwordSet = shadow.view(lock).isPasswordSet();
    }
    if (passwordSet) {
        if (!currentPassword) return BadRequest("The current password is needed");
        if (auto refusal = checkPassword(context, *currentPassword, "Wrong password", OldForm::replacedAnyway)) return *refusal;
    }
    const std::string hash = hashPassword(*newPassword);  // before the lock: see checkPassword
    int64_t generation = 0;
    {
        StateLock lock;
        // Another browser may have set the first password meanwhile; it is not replaced unasked.
        if (!passwordSet && shadow.view(lock).isPasswordSet()) return BadRequest("The current password is needed");
        Shadow& credentials = shadow.edit(lock);
        credentials.setPasswordHash(hash);
        generation = credentials._sessionGeneration;
    }
    // Every other session has ended with the new generation; this browser stays (or, on the first
    // password, becomes) logged in with a fresh cookie.
    const bool permanent = context.session.loggedIn() && context.session.permanent();
    context.session.logIn(permanent, generation, context.now);
    return okText();
}

}  // namespace quorvane::web
