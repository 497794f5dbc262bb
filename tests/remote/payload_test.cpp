#include "remote/payload.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "core/paths.h"
#include "model/errors.h"
#include "remote/service_address.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/test_layout.h"

namespace quorvane {
namespace {

TEST(Payload, ContentTypeIsTestedBySubstringTextFirst) {
    EXPECT_EQ(std::get<std::string>(payloadFromResponse("text/plain; charset=utf-8", "[1]")), "[1]");
    EXPECT_EQ(std::get<std::string>(payloadFromResponse("text/plain; profile=application/json", "[1]")), "[1]");
    EXPECT_EQ(std::get<Json>(payloadFromResponse("application/json;charset=UTF-8", "[1]")), Json::array({1}));
    EXPECT_EQ(std::get<Json>(payloadFromResponse("application/problem+json, application/json", "{}")), Json::object());
    EXPECT_EQ(std::get<RawBody>(payloadFromResponse("", "[1]")).bytes, "[1]");
    EXPECT_EQ(std::get<RawBody>(payloadFromResponse("text/html", "<p>")).bytes, "<p>");
    EXPECT_THROW(payloadFromResponse("application/json", "not json"), DecodeError);
    EXPECT_THROW(payloadFromResponse("application/json", ""), DecodeError);
}

TEST(Payload, DescribeRendersEachKind) {
    EXPECT_EQ(describe(Payload(std::in_place_type<std::string>, "plain words")), "plain words");
    EXPECT_EQ(describe(Payload(Json{{"a", 1}, {"b", "\u00e9"}})), "{\"a\": 1, \"b\": \"\\u00e9\"}");
    EXPECT_EQ(describe(Payload(RawBody{std::string(1234, '\0')})), "<1234 bytes>");
    // The error text of a result carries the payload the same way.
    const ApiResult failed = ApiResult::Err(Payload(RawBody{"xyz"}));
    try {
        (void)failed.getValue();
        FAIL() << "getValue on an error result must fail";
    } catch (const ValueError& error) {
        EXPECT_STREQ(error.what(), "Called getValue() on an error Result: <3 bytes>");
    }
}

TEST(ServiceAddress, SplitsTheOriginFromAnyPath) {
    EXPECT_EQ(splitServiceUrl("http://127.0.0.1:5002").origin, "http://127.0.0.1:5002");
    EXPECT_EQ(splitServiceUrl("http://127.0.0.1:5002").pathPrefix, "");
    EXPECT_EQ(splitServiceUrl("https://example.test/").pathPrefix, "");
    const ServiceAddress nested = splitServiceUrl("https://example.test:8443/a/b//");
    EXPECT_EQ(nested.origin, "https://example.test:8443");
    EXPECT_EQ(nested.pathPrefix, "/a/b");
}

TEST(ServiceAddress, QueryKeepsTheOrderAndEncodesReservedCharacters) {
    EXPECT_EQ(encodeQuery({{"c", "ping"}}), "c=ping");
    EXPECT_EQ(encodeQuery({{"c", "x"}, {"a", "1"}, {"a", "2"}}), "c=x&a=1&a=2");
    EXPECT_EQ(encodeQuery({{"c", "a+b c?#"}, {"k=", "~._-"}}), "c=a%2Bb%20c%3F%23&k%3D=~._-");
    EXPECT_EQ(encodeQuery({}), "");
}

class BaseUrlTest : public ::testing::Test {
protected:
    testing::ScopedEnv serviceUrl{"QUORVANE_SERVICE_URL", std::nullopt};
};

TEST_F(BaseUrlTest, DevelopmentLayoutUsesTheDevelopmentAddress) {
    testing::TestLayout layout;
    ASSERT_FALSE(isRelease());
    EXPECT_EQ(Api::baseUrl(), QUORVANE_SERVICE_URL_DEV);
}

TEST_F(BaseUrlTest, PackagedLayoutUsesTheReleaseAddress) {
    testing::TempDir prefix;
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix.path() / "share" / PACKAGE_SHARE_NAME);
    overrideExecutableDirForTesting(prefix / "bin");
    const bool release = isRelease();
    const std::string url = Api::baseUrl();
    overrideExecutableDirForTesting({});
    ASSERT_TRUE(release);
    EXPECT_EQ(url, QUORVANE_SERVICE_URL_RELEASE);
    EXPECT_EQ(url.rfind("https://", 0), 0u) << "the maker's service is reached over HTTPS";
}

TEST_F(BaseUrlTest, TheEnvironmentReplacesTheAddressInBothLayouts) {
    testing::setEnv("QUORVANE_SERVICE_URL", "http://127.0.0.1:6100/");
    {
        testing::TestLayout layout;
        EXPECT_EQ(Api::baseUrl(), "http://127.0.0.1:6100");
    }
    testing::TempDir prefix;
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix.path() / "share" / PACKAGE_SHARE_NAME);
    overrideExecutableDirForTesting(prefix / "bin");
    const std::string url = Api::baseUrl();
    overrideExecutableDirForTesting({});
    EXPECT_EQ(url, "http://127.0.0.1:6100");
    testing::setEnv("QUORVANE_SERVICE_URL", "");
    testing::TestLayout layout;
    EXPECT_EQ(Api::baseUrl(), QUORVANE_SERVICE_URL_DEV) << "an empty variable counts as unset";
}

}  // namespace
}  // namespace quorvane
