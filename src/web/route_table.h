#pragma once
// The route table and its matching: plain segment matching, in the order of registration, fixed routes
// before the catch-all. "<name>" matches one non-empty segment, "<path:name>" the non-empty rest of the
// path (slashes included).
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "web/request_context.h"

namespace quorvane::web {

using Handler = std::function<Reply(RequestContext&)>;

struct Route {
    std::string method;  // "GET" or "POST"
    std::string pattern;
    Handler handler;
    bool loginRequired = true;
    // The body is read as JSON before the handler runs; a body that is not JSON is refused with 400.
    bool jsonBody = false;
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
    // HEAD is matched as GET.
    Match find(const std::string& method, const std::string& path) const;

private:
    std::vector<Route> _routes;
    std::vector<PathPattern> _patterns;
    // Indexes into _routes: fixed routes in registration order, then the catch-all routes.
    std::vector<size_t> _order;
};

}  // namespace quorvane::web
