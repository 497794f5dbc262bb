#include "model/json_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/errors.h"

namespace quorvane {
namespace {

TEST(JsonText, OneLineWithSpacedSeparators) {
    Json value = Json::object();
    value["b"] = 1;
    value["a"] = Json::array({true, nullptr, "x"});
    value["c"] = Json::object();
    EXPECT_EQ(toJsonText(value), R"({"b": 1, "a": [true, null, "x"], "c": {}})");
    EXPECT_EQ(toJsonText(Json::array()), "[]");
}

TEST(JsonText, EscapesEverythingOutsideAscii) {
    EXPECT_EQ(toJsonText("\xC3\xA9"), R"("\u00e9")");                   // e acute
    EXPECT_EQ(toJsonText("\xF0\x9F\x94\x94"), R"("\ud83d\udd14")");      // a bell, outside the basic plane
    EXPECT_EQ(toJsonText("q\"b\\n\n\t\x01"), R"("q\"b\\n\n\t\u0001")");
    EXPECT_EQ(toJsonText("\xFF" "a"), R"("\ufffda")");                   // a byte that is not UTF-8
}

TEST(JsonText, RealsInShortestFormWithFraction) {
    EXPECT_EQ(toJsonText(1.0), "1.0");
    EXPECT_EQ(toJsonText(0.0), "0.0");
    EXPECT_EQ(toJsonText(2.5), "2.5");
    EXPECT_EQ(toJsonText(0.1), "0.1");
    EXPECT_EQ(toJsonText(-3.0), "-3.0");
    EXPECT_EQ(toJsonText(1e16), "1e+16");
    EXPECT_EQ(realText(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(realText(std::numeric_limits<double>::infinity()), "Infinity");
    EXPECT_EQ(realText(-std::numeric_limits<double>::infinity()), "-Infinity");
    EXPECT_EQ(std::stod(realText(0.1 + 0.2)), 0.1 + 0.2);
}

TEST(JsonText, IntegersStayIntegers) {
    EXPECT_EQ(toJsonText(Json(-5)), "-5");
    EXPECT_EQ(toJsonText(Json(18446744073709551615ULL)), "18446744073709551615");
}

TEST(JsonParse, ReportsTextThatIsNotJson) {
    EXPECT_THROW(parseJson("{\"a\": "), DecodeError);
    EXPECT_EQ(parseJson(R"({"z": 1, "a": 2})").begin().key(), "z");
}

}  // namespace
}  // namespace quorvane
