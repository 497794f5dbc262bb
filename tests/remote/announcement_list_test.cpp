#include "remote/announcement_list.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

std::optional<std::vector<ListedAnnouncement>> listedIn(const Json& body) { return listedAnnouncements(ApiResult::Ok(Payload(body))); }

std::vector<std::string> idsOf(const std::vector<ListedAnnouncement>& listed) {
    std::vector<std::string> ids;
    for (const ListedAnnouncement& item : listed) ids.push_back(item.id);
    return ids;
}

TEST(ListedAnnouncements, NoneWhereTheServiceGivesNoList) {
    EXPECT_FALSE(listedAnnouncements(ApiResult::Err(Payload(std::string("Unknown command: listAnnouncements")))));
    EXPECT_FALSE(listedAnnouncements(ApiResult::Ok(Payload(std::string("a text")))));
    EXPECT_FALSE(listedAnnouncements(ApiResult::Ok(Payload(RawBody{"ID3"}))));
    EXPECT_FALSE(listedIn(Json::array()));
    EXPECT_FALSE(listedIn(Json{{"announcements", "welcome"}}));
    // An empty list is a list: the service offers nothing today.
    EXPECT_EQ(listedIn(Json{{"announcements", Json::array()}}), std::vector<ListedAnnouncement>{});
}

TEST(ListedAnnouncements, EntriesWithoutAUsableIdAreLeftOutAndNamesDefaultToTheId) {
    const Json body = {{"announcements",
                        {{{"id", "a"}, {"name", "Morning"}},
                         {{"id", ""}},
                         {{"id", 7}},
                         "b",
                         {{"id", std::string(MAX_ANNOUNCEMENT_ID_BYTES + 1, 'x')}},
                         {{"id", "c"}, {"name", std::string(MAX_ANNOUNCEMENT_NAME_BYTES + 1, 'n')}},
                         {{"id", "d"}, {"name", 3}}}}};
    const auto listed = listedIn(body);
    ASSERT_TRUE(listed);
    EXPECT_EQ(idsOf(*listed), (std::vector<std::string>{"a", "c", "d"}));
    EXPECT_EQ((*listed)[0].name, "Morning");
    EXPECT_EQ((*listed)[1].name, "c") << "a name longer than a line is no name";
    EXPECT_EQ((*listed)[2].name, "d");
}

TEST(ListedAnnouncements, AnEndlessListIsCut) {
    Json items = Json::array();
    for (size_t i = 0; i < MAX_LISTED_ANNOUNCEMENTS + 10; ++i) items.push_back({{"id", "a" + std::to_string(i)}});
    const auto listed = listedIn(Json{{"announcements", items}});
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->size(), MAX_LISTED_ANNOUNCEMENTS);
    EXPECT_EQ(listed->back().id, "a" + std::to_string(MAX_LISTED_ANNOUNCEMENTS - 1));
}

}  // namespace
}  // namespace quorvane
