#pragma once
// The route table and its matching: plain segment matching, in the order of registration, fixed routes
// before the catch-all. "<name>" matches one non-empty segment, "<path:name>" the non-empty rest of the
// path (slashes included).
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "web/request_context.h"

namespace quorvane::web {

using Handler = std::function<Reply(RequestContext&)>;

// What the frame does with a route's request body, decided from the headers before any of it is read.
enum class RequestBody {
    NONE,       // nothing for the handler (a small body sent anyway is read and dropped)
    JSON,       // sent as application/json and parsed before the handler runs; 400 otherwise
    MULTIPART,  // multipart/form-data, file parts streamed to temporary files in the user data folder
};

// What a route does besides answering.
enum class Effect {
    CHANGES_STATE,  // refused when a browser sent it from another site; HEAD answers 405
    READ_ONLY,      // a GET without side effects: it answers HEAD too, and may come from another site
    READS_MEMORY,   // read-only, and answered from the records in memory at once: handled on the
                    // transport's I/O thread, without hand-offs to a worker (never for files)
};

inline constexpr uint64_t DEFAULT_MAX_BODY_BYTES = 100 * 1024 * 1024;

struct Route {
    std::string method;  // "GET" or "POST"
    std::string pattern;
    Handler handler;
    bool loginRequired = true;
    RequestBody body = RequestBody::NONE;
    Effect effect = Effect::CHANGES_STATE;
    // A larger announced body is refused from the headers (413).
    uint64_t maxBodyBytes = DEFAULT_MAX_BODY_BYTES;
    // The 400 answer to a JSON body that does not parse.
    std::string invalidJsonAnswer = "The request body is not valid JSON";

    bool readOnly() const { return effect != Effect::CHANGES_STATE; }
};

class PathPattern {
public:
    explicit PathPattern(const std::string& pattern);
    // The path parameters when the path matches.
    std::optional<std::map<std::string, std::string>> match(const std::string& path) const;
    bool isCatchAll() const { return _catchAll; }

private:
    struct Segment {
        std::string text;
        bool parameter = false;
        bool rest = false;
    };
    std::vector<Segment> _segments;
    bool _catchAll = false;
};

class RouteTable {
public:
    explicit RouteTable(std::vector<Route> routes);

    struct Match {
        const Route* route = nullptr;  // null when no route accepts the method
        std::map<std::string, std::string> params;
        std::string allowedMethods;  // for a 405: the methods that routes matching the path accept
    };
    // HEAD is matched as GET and is accepted only by a read-only route.
    Match find(const std::string& method, const std::string& path) const;
    // The largest body any route takes.
    uint64_t largestBody() const;

private:
    std::vector<Route> _routes;
    std::vector<PathPattern> _patterns;
    // Indexes into _routes: fixed routes in registration order, then the catch-all routes.
    std::vector<size_t> _order;
};

}  // namespace quorvane::web
