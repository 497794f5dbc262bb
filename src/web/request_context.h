#pragma once
// What a handler gets: the request, its path parameters, its session (which the handler may change)
// and, for routes that read one, the JSON body.
#include <httplib.h>

#include <map>
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

    const std::string& param(const std::string& name) const { return params.at(name); }
};

}  // namespace quorvane::web
