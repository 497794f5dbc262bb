#include "web/route_table.h"

#include <gtest/gtest.h>

namespace quorvane::web {
namespace {

using Params = std::map<std::string, std::string>;

TEST(PathPattern, SegmentsAndRest) {
    const PathPattern target("/api/trigger/<target>/<id>");
    EXPECT_EQ(target.match("/api/trigger/playSignal/ID_ping"), (Params{{"target", "playSignal"}, {"id", "ID_ping"}}));
    EXPECT_FALSE(target.match("/api/trigger/playSignal"));
    EXPECT_FALSE(target.match("/api/trigger/playSignal/"));
    EXPECT_FALSE(target.match("/api/trigger//x"));
    EXPECT_FALSE(target.match("/api/trigger/a/b/c"));
    EXPECT_FALSE(target.match("/api/triggerx/a/b"));

    const PathPattern fixed("/db");
    EXPECT_TRUE(fixed.match("/db"));
    EXPECT_FALSE(fixed.match("/db/"));
    EXPECT_FALSE(fixed.match("/dbx"));
    EXPECT_FALSE(fixed.match("db"));

    const PathPattern root("/");
    EXPECT_EQ(root.match("/"), Params{});
    EXPECT_FALSE(root.match("/a"));

    const PathPattern rest("/<path:path>");
    EXPECT_TRUE(rest.isCatchAll());
    EXPECT_EQ(rest.match("/a/b.js"), (Params{{"path", "a/b.js"}}));
    EXPECT_EQ(rest.match("//x"), (Params{{"path", "/x"}}));
    EXPECT_FALSE(rest.match("/"));
}

TEST(RouteTable, FixedRoutesWinAndOtherMethodsAnswer405) {
    const auto named = [](std::string name) { return [name](RequestContext&) { return BadRequest(name); }; };
    constexpr bool GATED = true;
    constexpr Effect READ_ONLY = Effect::READ_ONLY;
    constexpr RequestBody NO_BODY = RequestBody::NONE;
    const RouteTable table({{"POST", "/auth/login", named("login")},
                            {"GET", "/<path:path>", named("static"), GATED, NO_BODY, READ_ONLY},
                            {"GET", "/", named("root"), GATED, NO_BODY, READ_ONLY},
                            {"GET", "/api/get/<target>", named("get"), GATED, NO_BODY, READ_ONLY},
                            {"GET", "/api/trigger/<target>/<id>", named("trigger")},
                            {"POST", "/db/settings/update", named("settings")}});
    const auto handlerOf = [&](const std::string& method, const std::string& path) {
        const auto match = table.find(method, path);
        if (!match.route) return "405 " + match.allowedMethods;
        const http::Request request;
        RequestContext context{request, match.params, {}, {}};
        return match.route->handler(context).body;
    };
    EXPECT_EQ(handlerOf("GET", "/api/get/status"), "get") << "registered after the catch-all, still first";
    EXPECT_EQ(handlerOf("HEAD", "/api/get/status"), "get");
    EXPECT_EQ(handlerOf("GET", "/api/get/a/b"), "static");
    EXPECT_EQ(handlerOf("GET", "/"), "root");
    EXPECT_EQ(handlerOf("POST", "/auth/login"), "login");
    EXPECT_EQ(handlerOf("GET", "/auth/login"), "static");
    EXPECT_EQ(handlerOf("POST", "/api/get/status"), "405 GET, HEAD");
    EXPECT_EQ(handlerOf("PUT", "/auth/login"), "405 POST, GET, HEAD");
    EXPECT_EQ(handlerOf("POST", "/"), "405 GET, HEAD");
}

TEST(RouteTable, HeadOnlyWhereGetHasNoSideEffect) {
    const auto named = [](std::string name) { return [name](RequestContext&) { return BadRequest(name); }; };
    constexpr bool GATED = true;
    constexpr Effect READ_ONLY = Effect::READ_ONLY;
    const RouteTable table({{"GET", "/<path:path>", named("static"), GATED, RequestBody::NONE, READ_ONLY},
                            {"GET", "/api/trigger/<target>/<id>", named("trigger")},
                            {"GET", "/auth/logout", named("logout")}});
    EXPECT_TRUE(table.find("HEAD", "/index.html").route);
    EXPECT_TRUE(table.find("GET", "/api/trigger/toggleAlarm/x").route);
    for (const std::string path : {"/api/trigger/toggleAlarm/x", "/auth/logout"}) {
        const auto head = table.find("HEAD", path);
        EXPECT_FALSE(head.route) << path << ": HEAD must not fall through to the catch-all";
        EXPECT_EQ(head.allowedMethods, "GET") << path;
        EXPECT_EQ(table.find("POST", path).allowedMethods, "GET") << path;
    }
    EXPECT_EQ(table.find("PROPFIND", "/page").allowedMethods, "GET, HEAD");
    EXPECT_THROW(RouteTable({{"POST", "/x", named("x"), GATED, RequestBody::JSON, READ_ONLY}}), std::logic_error);
    EXPECT_THROW(RouteTable({{"POST", "/x", named("x"), GATED, RequestBody::JSON, Effect::READS_MEMORY}}), std::logic_error);
}

}  // namespace
}  // namespace quorvane::web
