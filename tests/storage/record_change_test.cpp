#include "storage/record_change.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

Json parsed(const char* text) { return Json::parse(text); }

TEST(RecordChange, TakingBackRestoresTheStateBefore) {
    const Json before = parsed(R"({"settings": {"a": 1, "b": [1, 2]}, "tables": {"x": {"n": "X"}, "y": {"n": "Y"}, "z": {"n": "Z"}}})");
    const Json after = parsed(R"({"settings": {"a": 2, "b": [1]}, "tables": {"x": {"n": "X"}, "z": {"n": "Z2"}, "w": {"n": "W"}}})");
    const RecordChange change = changeBetween(before, after);
    EXPECT_EQ(change.size(), 5u) << "a, b as a whole, y removed, z's name, w added";
    Json current = after;
    revertChange(current, change);
    EXPECT_EQ(current, before);
    EXPECT_EQ(current.dump(), before.dump()) << "a removed member is put back at its place";
    EXPECT_TRUE(changeBetween(before, before).empty());
}

TEST(RecordChange, AMemberALaterChangeTouchedKeepsTheLaterValue) {
    const Json before = parsed(R"({"a": 1, "b": 1, "tables": {}})");
    const Json mine = parsed(R"({"a": 2, "b": 2, "tables": {"t": {"n": "mine"}}})");
    const RecordChange change = changeBetween(before, mine);
    // A later request changed b and renamed the table this change created; another added u.
    Json current = parsed(R"({"a": 2, "b": 3, "tables": {"t": {"n": "theirs"}, "u": {"n": "U"}}})");
    revertChange(current, change);
    EXPECT_EQ(current, parsed(R"({"a": 1, "b": 3, "tables": {"t": {"n": "theirs"}, "u": {"n": "U"}}})"));
}

// Two changes taken back latest first give the state before the first, whatever they shared.
TEST(RecordChange, ChangesTakenBackLatestFirstRestoreTheStart) {
    const Json start = parsed(R"({"a": 1, "tables": {"x": {"n": "X"}}})");
    const Json first = parsed(R"({"a": 2, "tables": {"x": {"n": "X"}, "t": {"n": "T"}}})");
    const Json second = parsed(R"({"a": 3, "tables": {"t": {"n": "T"}}})");
    const RecordChange one = changeBetween(start, first), two = changeBetween(first, second);
    Json current = second;
    revertChange(current, two);
    revertChange(current, one);
    EXPECT_EQ(current.dump(), start.dump());
    // The other order leaves the shared member changed: the order matters.
    current = second;
    revertChange(current, one);
    revertChange(current, two);
    EXPECT_NE(current, start);
}

}  // namespace
}  // namespace quorvane
