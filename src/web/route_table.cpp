#include "web/route_table.h"

#include <algorithm>
#include <stdexcept>

namespace quorvane::web {
namespace {

std::vector<std::string> splitSegments(const std::string& path) {
    std::vector<std::string> segments;
    size_t start = path.empty() || path[0] != '/' ? 0 : 1;
    if (start >= path.size()) return segments;  // "/" has no segments
    while (true) {
        const size_t slash = path.find('/', start);
        segments.push_back(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return segments;
}

}  // namespace

PathPattern::PathPattern(const std::string& pattern) {
    for (const std::string& text : splitSegments(pattern)) {
        Segment segment;
        if (text.size() > 2 && text.front() == '<' && text.back() == '>') {
            segment.parameter = true;
            segment.text = text.substr(1, text.size() - 2);
            if (segment.text.rfind("path:", 0) == 0) {
                segment.text = segment.text.substr(5);
                segment.rest = true;
            }
        } else {
            segment.text = text;
        }
        _segments.push_back(segment);
    }
    for (size_t i = 0; i < _segments.size(); ++i)
        if (_segments[i].rest && i + 1 != _segments.size()) throw std::logic_error("a rest parameter must come last: " + pattern);
    _catchAll = !_segments.empty() && _segments.back().rest;
}

std::optional<std::map<std::string, std::string>> PathPattern::match(const std::string& path) const {
    if (path.empty() || path[0] != '/') return std::nullopt;
    std::map<std::string, std::string> params;
    size_t position = 1;  // after the leading "/"
    for (size_t i = 0; i < _segments.size(); ++i) {
        const Segment& segment = _segments[i];
        if (position > path.size()) return std::nullopt;
        if (segment.rest) {
            const std::string rest = path.substr(position);
            if (rest.empty()) return std::nullopt;
            params[segment.text] = rest;
            return params;
        }
        const size_t slash = path.find('/', position);
        const size_t end = slash == std::string::npos ? path.size() : slash;
        const std::string text = path.substr(position, end - position);
        if (segment.parameter) {
            if (text.empty()) return std::nullopt;
            params[segment.text] = text;
        } else if (text != segment.text) {
            return std::nullopt;
        }
        position = end + 1;                                                        // past the "/" (or past the end)
        if (i + 1 == _segments.size() && end != path.size()) return std::nullopt;  // more path left
    }
    if (_segments.empty() && path != "/") return std::nullopt;
    return params;
}

RouteTable::RouteTable(std::vector<Route> routes) : _routes(std::move(routes)) {
    for (const Route& route : _routes) {
        if (route.readOnly() && route.method != "GET") throw std::logic_error("only a GET route can be read-only: " + route.pattern);
        _patterns.emplace_back(route.pattern);
    }
    for (size_t i = 0; i < _routes.size(); ++i)
        if (!_patterns[i].isCatchAll()) _order.push_back(i);
    for (size_t i = 0; i < _routes.size(); ++i)
        if (_patterns[i].isCatchAll()) _order.push_back(i);
}

RouteTable::Match RouteTable::find(const std::string& method, const std::string& path) const {
    const bool head = method == "HEAD";
    const std::string wanted = head ? "GET" : method;
    Match result;
    std::vector<std::string> allowed;
    bool headAllowed = false, getSeen = false;
    for (const size_t i : _order) {
        auto params = _patterns[i].match(path);
        if (!params) continue;
        const Route& route = _routes[i];
        if (route.method == "GET" && !getSeen) {
            // HEAD goes where a GET would go, and only a GET without side effects may answer it.
            getSeen = true;
            headAllowed = route.readOnly();
        }
        if (route.method == wanted && (!head || headAllowed)) {
            result.route = &route;
            result.params = std::move(*params);
            return result;
        }
        if (std::find(allowed.begin(), allowed.end(), route.method) == allowed.end()) allowed.push_back(route.method);
    }
    if (headAllowed) allowed.push_back("HEAD");
    for (const std::string& name : allowed) result.allowedMethods += (result.allowedMethods.empty() ? "" : ", ") + name;
    return result;
}

uint64_t RouteTable::largestBody() const {
    uint64_t largest = 0;
    for (const Route& route : _routes) largest = std::max(largest, route.maxBodyBytes);
    return largest;
}

}  // namespace quorvane::web
