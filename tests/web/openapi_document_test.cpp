#include <functional>
#include <regex>

#include <gtest/gtest.h>

#include "model/json_text.h"
#include "web/openapi_endpoint.h"
#include "web/route_table.h"
#include "web/routes.h"

namespace quorvane::web {
namespace {

const Json& document() {
    static const Json parsed = Json::parse(openApiDocument());
    return parsed;
}

// "/db/timetables/update/<id>" and "/<path:path>" as OpenAPI writes them: "/db/timetables/update/{id}", "/{path}".
std::string openApiPath(const std::string& pattern) { return std::regex_replace(pattern, std::regex("<(?:path:)?([A-Za-z]+)>"), "{$1}"); }

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST(OpenApiDocument, IsOpenApi31WithTheProgramsVersion) {
    EXPECT_EQ(document().value("openapi", ""), "3.1.0");
    ASSERT_TRUE(document().contains("paths"));
    EXPECT_TRUE(document()["info"].contains("title"));
}

TEST(OpenApiDocument, DescribesEveryRouteOfTheRouteTableWithItsLogin) {
    const Json& paths = document()["paths"];
    for (const Route& route : applicationRoutes()) {
        const std::string path = openApiPath(route.pattern);
        SCOPED_TRACE(route.method + " " + route.pattern);
        ASSERT_TRUE(paths.contains(path)) << path << " is not in docs/openapi.json";
        const Json& item = paths[path];
        ASSERT_TRUE(item.contains(lower(route.method))) << "the document has " << item.dump().substr(0, 200);
        const Json& operation = item[lower(route.method)];
        ASSERT_TRUE(operation.contains("responses"));
        // A route behind the login names the session among its ways in; an open one needs none.
        const Json security = operation.value("security", document().value("security", Json::array()));
        bool sessionNamed = false, openToAll = security.empty();
        for (const Json& way : security) {
            if (way.contains("sessionCookie")) sessionNamed = true;
            if (way.empty()) openToAll = true;
        }
        if (route.loginRequired) {
            EXPECT_TRUE(sessionNamed) << "login required, but the document's security is " << security.dump();
            EXPECT_FALSE(openToAll) << "login required, but the document lets anybody in";
        }
    }
}

TEST(OpenApiDocument, InventsNoRouteThePlayerDoesNotAnswer) {
    const RouteTable table(applicationRoutes());
    for (const auto& [path, item] : document()["paths"].items()) {
        for (const auto& [method, operation] : item.items()) {
            if (method == "parameters" || method == "summary" || method == "description") continue;
            std::string upper = method;
            for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            // A templated path ("/api/trigger/playSignal/{id}") is asked with a sample value in each place.
            const std::string asked = std::regex_replace(path, std::regex("\\{[A-Za-z]+\\}"), "sample");
            const RouteTable::Match match = table.find(upper, asked);
            ASSERT_NE(match.route, nullptr) << upper << " " << path << " is answered by no route";
            // Only the browser app's own paths may land on its catch-all.
            if (match.route->pattern == "/<path:path>") {
                EXPECT_EQ(path, "/{path}") << upper << " " << path << " would reach only the browser app's files";
            }
        }
    }
}

TEST(OpenApiDocument, EveryReferenceResolves) {
    // A dangling $ref makes the document useless to a generator, and no test of a real answer would notice.
    std::vector<std::string> dangling;
    std::function<void(const Json&)> visit = [&](const Json& node) {
        if (node.is_object()) {
            const auto ref = node.find("$ref");
            if (ref != node.end() && ref->is_string()) {
                const std::string target = ref->get<std::string>();
                if (target.rfind("#/", 0) != 0 || !document().contains(Json::json_pointer(target.substr(1)))) dangling.push_back(target);
            }
            for (const auto& [key, child] : node.items()) visit(child);
        } else if (node.is_array()) {
            for (const Json& child : node) visit(child);
        }
    };
    visit(document());
    EXPECT_TRUE(dangling.empty()) << Json(dangling).dump();
}

}  // namespace
}  // namespace quorvane::web
