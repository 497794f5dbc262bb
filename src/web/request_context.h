#pragma once
// What a handler gets: the request, its path parameters, its session (which the handler may change),
// for routes that read one the JSON body, the client's address as the connection gives it, the time
// (seconds since the epoch) by the server's clock, and for upload routes the digests of the uploaded files.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "http/message.h"
#include "model/json_text.h"
#include "web/reply.h"
#include "web/session.h"
#include "web/upload_digests.h"

namespace quorvane::web {

struct RequestContext {
    const http::Request& request;
    std::map<std::string, std::string> params;
    Session session;
    Json json;
    std::string clientAddress;
    int64_t now = 0;
    std::shared_ptr<UploadDigests> uploads;

    const std::string& param(const std::string& name) const { return params.at(name); }
    // A query argument of the request target; absent when it was not given.
    std::optional<std::string> query(const std::string& name) const {
        for (const auto& [key, value] : request.query)
            if (key == name) return value;
        return std::nullopt;
    }
    // A part of a multipart body by its field name; null when it was not sent.
    const http::Part* part(const std::string& name) const {
        for (const http::Part& part : request.parts)
            if (part.name == name) return &part;
        return nullptr;
    }
};

}  // namespace quorvane::web
