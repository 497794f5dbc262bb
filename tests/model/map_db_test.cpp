#include "model/map_db.h"

#include <regex>
#include <set>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

struct Item {
    std::string name;
    int64_t size = 0;
    static constexpr auto fields() { return std::tuple{field("name", &Item::name), field("size", &Item::size)}; }
};

TEST(MapDbAdd, GeneratesVersionFourUuids) {
    MapDb<Item> table;
    const std::string first = table.add(Item{"a"});
    const std::string second = table.add(Item{"b"});
    EXPECT_NE(first, second);
    const std::regex uuid("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    EXPECT_TRUE(std::regex_match(first, uuid)) << first;
    EXPECT_EQ(first.size(), 36u);
    std::set<std::string> many;
    for (int i = 0; i < 1000; ++i) many.insert(newUuid());
    EXPECT_EQ(many.size(), 1000u);
}

TEST(MapDbAdd, GivenKeyIsUsedOnceOnly) {
    MapDb<Item> table;
    EXPECT_EQ(table.add(Item{"first"}, "k"), "k");
    try {
        table.add(Item{"second"}, "k");
        FAIL() << "no error";
    } catch (const KeyError& error) {
        EXPECT_EQ(error.bare(), "Key already exists");
    }
    EXPECT_EQ(table.find("k")->name, "first");
    EXPECT_EQ(table.size(), 1u);
}

TEST(MapDbOrder, AssignmentKeepsThePosition) {
    MapDb<Item> table;
    table.add(Item{"a"}, "a");
    table.add(Item{"b"}, "b");
    table.add(Item{"c"}, "c");
    table.set("b", Item{"new b", 5});
    const Json list = table.asTable();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(toJsonText(list),
              R"([{"name": "a", "size": 0, "id": "a"}, {"name": "new b", "size": 5, "id": "b"}, {"name": "c", "size": 0, "id": "c"}])");
    EXPECT_EQ(table.at(-1).name, "c");
    EXPECT_EQ(table.at(1).name, "new b");
    EXPECT_THROW(table.at(3), IndexError);
    EXPECT_THROW(table.at(-4), IndexError);
}

TEST(MapDbRemove, ReturnsTheRecordAndKeepsTheRestInOrder) {
    MapDb<Item> table;
    for (const char* id : {"a", "b", "c", "d"}) table.add(Item{id}, id);
    EXPECT_EQ(table.remove("b").name, "b");
    EXPECT_FALSE(table.contains("b"));
    EXPECT_EQ(table.find("c"), &table.at(1));
    EXPECT_EQ(table.find("d")->name, "d");
    try {
        table.remove("zz");
        FAIL() << "no error";
    } catch (const KeyError& error) {
        EXPECT_STREQ(error.what(), "'zz'");
    }
    EXPECT_EQ(table.size(), 3u);
}

TEST(MapDbFromDict, ReplacesTheContentInObjectOrder) {
    MapDb<Item> table;
    table.add(Item{"old"}, "old");
    table.fromDict(parseJson(R"({"z": {"name": "Z"}, "a": {"size": 2}, "": {"name": "anonymous"}})"));
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table.begin()->first, "z");
    EXPECT_EQ(table.at(1).size, 2);
    EXPECT_EQ(table.at(2).name, "anonymous");
    EXPECT_EQ(table.at(2 - 3).name, "anonymous");
    EXPECT_EQ((table.begin() + 2)->first.size(), 36u);  // the empty name got a new id
    table.fromDict(Json::object());
    EXPECT_TRUE(table.empty());
}

TEST(MapDbFromDict, StopsAtTheFirstMemberThatDoesNotDecode) {
    MapDb<Item> table;
    EXPECT_THROW(table.fromDict(parseJson(R"({"a": {}, "b": {"size": "big"}, "c": {}})")), DecodeError);
    EXPECT_EQ(table.size(), 1u);
    EXPECT_TRUE(table.contains("a"));
}

TEST(MapDbFingerprint, SeesIdsOrderAndContent) {
    MapDb<Item> a, b;
    a.add(Item{"x"}, "1");
    b.add(Item{"x"}, "2");
    EXPECT_NE(a.hash(), b.hash());
    b.clear();
    b.add(Item{"x"}, "1");
    EXPECT_EQ(a.hash(), b.hash());
    b.find("1")->size = 1;
    EXPECT_NE(a.hash(), b.hash());
}

}  // namespace
}  // namespace quorvane
