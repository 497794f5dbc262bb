#include "web/auth_handlers.h"

#include "model/errors.h"
#include "storage/stored_records.h"

namespace quorvane::web {

bool isLoginRequired(const Session& session) {
    if (session.loggedIn()) return false;
    StateLock lock;
    return shadow.view(lock).isPasswordSet();
}

std::optional<Reply> require_login(const RequestContext& context) {
    if (isLoginRequired(context.session)) return BadRequest("No auth");
    return std::nullopt;
}

Reply auth_login(RequestContext& context) {
    const Json& body = context.json;
    // A body of the wrong shape is a fault of the client that the frame answers with its generic 500.
    if (!body.is_object()) throw TypeError("the login body must be a JSON object");
    const auto password = body.find("userPassword");
    if (password == body.end() || !password->is_string()) throw TypeError("userPassword must be a text");
    bool matching = false;
    {
        StateLock lock;
        matching = shadow.view(lock).isPasswordMatching(password->get<std::string>());
    }
    if (!matching) return BadRequest("Login failed");
    const auto remember = body.find("remember");
    if (remember == body.end()) throw KeyError("remember");
    const bool permanent = !(remember->is_null() || (remember->is_boolean() && !remember->get<bool>()) ||
                             (remember->is_number() && remember->get<double>() == 0.0) ||
                             (remember->is_string() && remember->get_ref<const std::string&>().empty()) ||
                             (remember->is_structured() && remember->empty()));
    context.session.setLoggedIn(true);
    context.session.setPermanent(permanent);
    return redirect("/");
}

Reply auth_logout(RequestContext& context) {
    context.session.setLoggedIn(false);
    return redirect("/login");
}

Reply auth_chpasswd(RequestContext& context) {
    if (!context.json.is_string()) throw TypeError("the new password must be a JSON text");
    {
        StateLock lock;
        shadow.edit(lock).setPassword(context.json.get<std::string>());
    }
    if (!context.session.loggedIn()) {
        // The browser that set the first password is logged in by it.
        context.session.setLoggedIn(true);
        context.session.setPermanent(false);
    }
    return okText();
}

}  // namespace quorvane::web
