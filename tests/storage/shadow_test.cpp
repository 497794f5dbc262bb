#include "storage/shadow.h"

#include <regex>

#include <gtest/gtest.h>

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

TEST(Credentials, APasswordIsStoredAsAScryptHashOfItsUtf8Bytes) {
    Shadow record;
    const std::string password = "j\xC3\xB3jelsz\xC3\xB3";  // non-ASCII, by its UTF-8 bytes
    record.setPassword(password);
    EXPECT_TRUE(std::regex_match(*record._pwd, std::regex(R"(scrypt\$32768\$8\$1\$[0-9a-f]{32}\$[0-9a-f]{64})"))) << *record._pwd;
    EXPECT_EQ(record._pwd->find(password), std::string::npos);
    EXPECT_FALSE(record.storedPassword().isOldForm());
    EXPECT_TRUE(record.isPasswordMatching(password));
    EXPECT_FALSE(record.isPasswordMatching("jojelszo"));
}

// Files of older versions: one round of SHA-256 over the salt and the password.
TEST(Credentials, TheOldFormStillVerifies) {
    const std::string salt(64, 'a');
    const Shadow record = from_json<Shadow>(R"({"_salt": ")" + salt + R"(", "_pwd": ")" + getHash(salt + "bell") + R"("})");
    EXPECT_TRUE(record.storedPassword().isOldForm());
    EXPECT_TRUE(record.isPasswordMatching("bell"));
    EXPECT_FALSE(record.isPasswordMatching("Bell"));
    EXPECT_FALSE(record.isPasswordMatching(""));
    // The old form without its salt matches nothing, the hash itself included.
    const Shadow saltless = from_json<Shadow>(R"({"_pwd": ")" + getHash("bell") + R"("})");
    EXPECT_FALSE(saltless.isPasswordMatching("bell"));
    EXPECT_FALSE(saltless.isPasswordMatching(getHash("bell")));
}

TEST(Credentials, SamePasswordDiffersBetweenInstallations) {
    Shadow first, second;
    first.setPassword("bell");
    second.setPassword("bell");
    EXPECT_NE(first._pwd, second._pwd);
    EXPECT_NE(first._salt, second._salt);
    EXPECT_TRUE(second.isPasswordMatching("bell"));
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
    EXPECT_EQ(to_json(record), R"({"_salt": null, "_pwd": null, "_sessionGeneration": 0, "_revokedSessions": [], "_metricsToken": null})");
    const Shadow loaded = from_json<Shadow>(R"({"_salt": "ab"})");
    EXPECT_EQ(loaded._salt, "ab");
    EXPECT_FALSE(loaded.isPasswordSet());
}

TEST(Credentials, AFileFromBeforeSessionGenerationsLoadsAsGenerationZero) {
    const Shadow loaded = from_json<Shadow>(R"({"_salt": "ab", "_pwd": "cd"})");
    EXPECT_EQ(loaded._sessionGeneration, 0);
    EXPECT_TRUE(loaded._revokedSessions.empty());
}

TEST(Credentials, GenerationAndRevokedSessionsSurviveTheFile) {
    Shadow record;
    record.startNewSessionGeneration();
    record.revokeSession("abc", 2000, 1000);
    const Shadow back = from_json<Shadow>(to_json(record));
    EXPECT_EQ(back._sessionGeneration, 1);
    EXPECT_TRUE(back.isSessionRevoked("abc"));
    EXPECT_EQ(fingerprint(back), fingerprint(record));
    record.revokeSession("def", 2000, 1000);
    EXPECT_NE(fingerprint(back), fingerprint(record)) << "a revocation is a change to save";
}

TEST(Credentials, APasswordChangeStartsANewSessionGeneration) {
    Shadow record;
    record.setPassword("first");
    EXPECT_EQ(record._sessionGeneration, 1);
    record.revokeSession("abc", 2000, 1000);
    record.setPassword("second");
    EXPECT_EQ(record._sessionGeneration, 2);
    EXPECT_FALSE(record.isSessionRevoked("abc")) << "its whole generation is refused now";
    EXPECT_TRUE(record._revokedSessions.empty());
}

TEST(Credentials, RevokedSessionsAreKeptUntilTheyWouldHaveExpired) {
    Shadow record;
    record.revokeSession("early", 1500, 1000);
    record.revokeSession("late", 3000, 1000);
    record.revokeSession("gone", 900, 1000);  // expired already: nothing to remember
    EXPECT_TRUE(record.isSessionRevoked("early"));
    EXPECT_TRUE(record.isSessionRevoked("late"));
    EXPECT_FALSE(record.isSessionRevoked("gone"));
    EXPECT_FALSE(record.isSessionRevoked(""));
    record.revokeSession("next", 4000, 1500);
    EXPECT_FALSE(record.isSessionRevoked("early")) << "dropped once its time is over";
    EXPECT_EQ(record._revokedSessions.size(), 2u);
    record.revokeSession("late", 3000, 1500);
    EXPECT_EQ(record._revokedSessions.size(), 2u) << "revoking twice keeps one entry";
    EXPECT_EQ(record._sessionGeneration, 0);
}

TEST(Credentials, AFullRevocationListStartsANewGenerationInstead) {
    Shadow record;
    for (size_t i = 0; i < Shadow::MAX_REVOKED_SESSIONS; ++i) record.revokeSession("s" + std::to_string(i), 5000, 1000);
    EXPECT_EQ(record._revokedSessions.size(), Shadow::MAX_REVOKED_SESSIONS);
    EXPECT_EQ(record._sessionGeneration, 0);
    record.revokeSession("one more", 5000, 1000);
    EXPECT_EQ(record._sessionGeneration, 1);
    EXPECT_TRUE(record._revokedSessions.empty());

    // A list full of entries whose time is over makes room instead.
    for (size_t i = 0; i < Shadow::MAX_REVOKED_SESSIONS; ++i) record.revokeSession("t" + std::to_string(i), 2000, 1000);
    record.revokeSession("after", 9000, 2000);
    EXPECT_EQ(record._sessionGeneration, 1);
    EXPECT_EQ(record._revokedSessions.size(), 1u);
    EXPECT_TRUE(record.isSessionRevoked("after"));
}

TEST(Credentials, EmptyStoredSaltCountsAsAbsent) {
    Shadow record = from_json<Shadow>(R"({"_salt": "", "_pwd": "00"})");
    EXPECT_EQ(record.getCurrentSalt().size(), 64u);
    EXPECT_FALSE(record.isPasswordMatching(""));
}

}  // namespace
}  // namespace quorvane
