#include "model/json_text.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

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
    EXPECT_EQ(toJsonText("\xC3\xA9"), R"("\u00e9")");                // e acute
    EXPECT_EQ(toJsonText("\xF0\x9F\x94\x94"), R"("\ud83d\udd14")");  // a bell, outside the basic plane
    EXPECT_EQ(toJsonText("q\"b\\n\n\t\x01"), R"("q\"b\\n\n\t\u0001")");
    EXPECT_EQ(toJsonText("\xFF"
                         "a"),
              R"("\ufffda")");  // a byte that is not UTF-8
    EXPECT_EQ(toJsonText("a\x7F"
                         "b"),
              R"("a\u007fb")");  // DEL is a control character too
}

TEST(JsonText, RealsInShortestFormWithFraction) {
    EXPECT_EQ(toJsonText(1.0), "1.0");
    EXPECT_EQ(toJsonText(0.0), "0.0");
    EXPECT_EQ(toJsonText(2.5), "2.5");
    EXPECT_EQ(toJsonText(0.1), "0.1");
    EXPECT_EQ(toJsonText(-3.0), "-3.0");
    EXPECT_EQ(toJsonText(1e16), "1e+16");
    // Whole numbers keep their plain form up to where the shortest form switches to an exponent anyway.
    EXPECT_EQ(toJsonText(100000.0), "100000.0");
    EXPECT_EQ(toJsonText(-3600000.0), "-3600000.0");
    EXPECT_EQ(toJsonText(1e15), "1000000000000000.0");
    EXPECT_EQ(toJsonText(9007199254740993e0), "9007199254740992.0");
    EXPECT_EQ(toJsonText(1.5e17), "1.5e+17");
    EXPECT_EQ(toJsonText(123456.5), "123456.5");
    EXPECT_EQ(toJsonText(0.0001), "0.0001");
    EXPECT_EQ(toJsonText(0.00001), "1e-05");
    EXPECT_EQ(toJsonText(2.5e-7), "2.5e-07");
    for (const double value : {100000.0, 1e15, 123456.5, 0.0001, 2.5e-7, 1.5e17, 5e-324, 1.7976931348623157e308})
        EXPECT_EQ(parseJson(toJsonText(value)).get<double>(), value) << toJsonText(value);
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
    EXPECT_THROW(parseJson(R"({"delaySec": 1e400})"), DecodeError) << "a number no double holds";
    EXPECT_THROW(parseJson(R"({"delaySec": NaN})"), DecodeError);
    EXPECT_EQ(parseJson(R"({"z": 1, "a": 2})").begin().key(), "z");
}

// Values are copied, compared and written recursively: nesting is bounded before anything is built.
TEST(JsonParse, RefusesNestingDeeperThanTheBound) {
    const auto nested = [](size_t depth, char open, char close) { return std::string(depth, open) + std::string(depth, close); };
    EXPECT_NO_THROW(parseJson(nested(MAX_JSON_DEPTH, '[', ']')));
    EXPECT_THROW(parseJson(nested(MAX_JSON_DEPTH + 1, '[', ']')), DecodeError);
    EXPECT_THROW(parseJson(std::string(100'000, '[')), DecodeError) << "unclosed too";
    std::string objects;
    for (size_t i = 0; i <= MAX_JSON_DEPTH; ++i) objects += "{\"a\": ";
    objects += "1" + std::string(MAX_JSON_DEPTH + 1, '}');
    EXPECT_THROW(parseJson(objects), DecodeError);
    // Brackets inside texts (escaped quotes among them) are no nesting.
    EXPECT_EQ(parseJson("[\"\\\"" + std::string(100'000, '[') + "\"]")[0].get<std::string>().size(), 100'001u);
}

TEST(JsonParse, StoredFilesOfOlderVersionsMayHoldNonFiniteLiterals) {
    const Json stored = parseStoredJson(R"({"a": NaN, "b": [Infinity, -Infinity], "c": "NaN in a \"text\" Infinity", "d": -1.5})");
    EXPECT_EQ(stored, Json::parse(R"({"a": "NaN", "b": ["Infinity", "-Infinity"], "c": "NaN in a \"text\" Infinity", "d": -1.5})"));
    EXPECT_THROW(parseStoredJson(R"({"a": NaNa})"), DecodeError);
    EXPECT_THROW(parseStoredJson(R"({"a": )"), DecodeError);
}

}  // namespace
}  // namespace quorvane
