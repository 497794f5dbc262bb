#pragma once
// What a handler gets: the request, its path parameters, its session (which the handler may change),
// for routes that read one the JSON body, the client's address as the connection gives it, and the
// time (seconds since the epoch) by the server's clock.
#include <httplib.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "model/json_text.h"
#include "web/reply.h"
#include "web/session.h"

namespace quorvane::web {

struct RequestContext {
    const httplib::Request& request;
    std::map<std::string, std::string> params;
    Session session;
    Json json;
    std::string clientAddress;
    int64_t now = 0;

    const std::string& param(const std::string& name) const { return params.at(name); }
    // A query argument of the request target; absent when it was not given.
    std::optional<std::string> query(const std::string& name) const {
        if (!request.has_param(name)) return std::nullopt;
        return request.get_param_value(name);
    }
};

}  // namespace quorvane::web
