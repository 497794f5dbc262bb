#include "storage/shadow.h"

#include <gtest/gtest.h>

#include <regex>

#include "model/digest.h"

namespace quorvane {
namespace {

TEST(Credentials, FreshRecordHasNoPasswordAndAStableSalt) {
    Shadow record;
    EXPECT_FALSE(record.isPasswordSet());
    EXPECT_FALSE(record.isPasswordMatching(""));
    const std::string salt = record.getCurrentSalt();
    EXPECT_TRUE(std::regex_match(salt, std::regex("[0-9a-f]{64}"))) << salt;
    EXPECT_EQ(record.getCurrentSalt(), salt);
    EXPECT_FALSE(record.isPasswordSet());
}

TEST(Credentials, EmptyPasswordIsAPassword) {
    Shadow record;
    record.setPassword("");
    EXPECT_TRUE(record.isPasswordSet());
    EXPECT_TRUE(record.isPasswordMatching(""));
    EXPECT_FALSE(record.isPasswordMatching(" "));
}

TEST(Credentials, HashIsSha256OfSaltThenUtf8Password) {
    Shadow record;
    const std::string password = "j\xC3\xB3jelsz\xC3\xB3";  // non-ASCII, by its UTF-8 bytes
    record.setPassword(password);
    EXPECT_EQ(*record._pwd, getHash(record.getCurrentSalt() + password));
    EXPECT_TRUE(record.isPasswordMatching(password));
    EXPECT_FALSE(record.isPasswordMatching("jojelszo"));
}

TEST(Credentials, SamePasswordDiffersBetweenInstallations) {
    Shadow first, second;
    first.setPassword("bell");
    second.setPassword("bell");
    EXPECT_NE(first._pwd, second._pwd);
}

TEST(Credentials, ChangingThePasswordKeepsTheSalt) {
    Shadow record;
    record.setPassword("old");
    const auto salt = record._salt;
    const auto oldHash = record._pwd;
    record.setPassword("new");
    EXPECT_EQ(record._salt, salt);
    EXPECT_NE(record._pwd, oldHash);
    EXPECT_FALSE(record.isPasswordMatching("old"));
    EXPECT_TRUE(record.isPasswordMatching("new"));
}

TEST(Credentials, StoredFormAndPartialFiles) {
    Shadow record;
    EXPECT_EQ(to_json(record), R"({"_salt": null, "_pwd": null})");
    const Shadow loaded = from_json<Shadow>(R"({"_salt": "ab"})");
    EXPECT_EQ(loaded._salt, "ab");
    EXPECT_FALSE(loaded.isPasswordSet());
}

TEST(Credentials, EmptyStoredSaltCountsAsAbsent) {
    Shadow record = from_json<Shadow>(R"({"_salt": "", "_pwd": "00"})");
    EXPECT_EQ(record.getCurrentSalt().size(), 64u);
    EXPECT_FALSE(record.isPasswordMatching(""));
}

}  // namespace
}  // namespace quorvane
