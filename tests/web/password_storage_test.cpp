// The password as the interface stores it: a scrypt hash from the first password on, and files of older
// versions (one round of SHA-256) that still log in and are rewritten by that login.
#include <future>
#include <vector>

#include <gtest/gtest.h>

#include "model/digest.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;

class PasswordStorage : public testing::WebServerTest {
protected:
    static Json login(const std::string& password) { return {{"userPassword", password}, {"remember", false}}; }
    Shadow storedShadow() const { return from_json<Shadow>(testing::readFile(layout.userData() / SHADOW_FILE_NAME)); }
    // The credentials as an older version wrote them, in memory and on disk.
    void storeOldForm(const std::string& password) {
        const std::string salt(64, 'c');
        {
            StateLock lock;
            shadow.edit(lock) =
                from_json<Shadow>(R"({"_salt": ")" + salt + R"(", "_pwd": ")" + getHash(salt + password) + R"(", "_sessionGeneration": 3})");
        }
        shadow.saveForce();
    }
};

TEST_F(PasswordStorage, TheFirstPasswordAndEveryChangeAreStoredAsScrypt) {
    Browser owner = loggedInBrowser("first");
    const Shadow first = storedShadow();
    ASSERT_TRUE(first._pwd.has_value());
    EXPECT_EQ(first._pwd->rfind("scrypt$32768$8$1$", 0), 0u) << *first._pwd;
    EXPECT_TRUE(first.isPasswordMatching("first"));
    EXPECT_EQ(owner.postJson("/auth/chpasswd", {{"currentPassword", "first"}, {"newPassword", "second"}}).body, "ok");
    const Shadow second = storedShadow();
    EXPECT_EQ(second._pwd->rfind("scrypt$", 0), 0u);
    EXPECT_TRUE(second.isPasswordMatching("second"));
    EXPECT_FALSE(second.isPasswordMatching("first"));
    EXPECT_EQ(second._salt, first._salt) << "the signing key stays, so the changer's cookie stays valid";
}

TEST_F(PasswordStorage, AnOldFormLogsInAndThatLoginRewritesIt) {
    storeOldForm("bell");
    Browser wrong = browser();
    EXPECT_EQ(wrong.postJson("/auth/login", login("Bell")).body, "Login failed");
    EXPECT_TRUE(storedShadow().storedPassword().isOldForm()) << "a failed login rewrites nothing";

    Browser earlier = browser();
    Browser teacher = browser();
    ASSERT_EQ(earlier.postJson("/auth/login", login("bell")).status, 302);
    const Shadow rewritten = storedShadow();
    EXPECT_FALSE(rewritten.storedPassword().isOldForm()) << *rewritten._pwd;
    EXPECT_EQ(rewritten._pwd->rfind("scrypt$", 0), 0u);
    EXPECT_EQ(rewritten._salt, std::string(64, 'c'));
    EXPECT_EQ(rewritten._sessionGeneration, 3) << "the same password: no session ends";
    EXPECT_EQ(earlier.get("/db").status, 200) << "the migrating login's own session";

    EXPECT_EQ(teacher.postJson("/auth/login", login("Bell")).body, "Login failed");
    ASSERT_EQ(teacher.postJson("/auth/login", login("bell")).status, 302) << "the new form logs in";
    EXPECT_EQ(storedShadow()._pwd, rewritten._pwd) << "a login with the new form writes nothing";
}

TEST_F(PasswordStorage, AChangeFromTheOldFormNeedsTheOldPassword) {
    storeOldForm("bell");
    Browser owner = browser();
    ASSERT_EQ(owner.postJson("/auth/login", login("bell")).status, 302);
    storeOldForm("bell");  // as if the file came back from a backup of an older version
    EXPECT_EQ(owner.postJson("/auth/chpasswd", {{"currentPassword", "nope"}, {"newPassword", "x"}}).body, "Wrong password");
    EXPECT_TRUE(storedShadow().storedPassword().isOldForm());
    EXPECT_EQ(owner.postJson("/auth/chpasswd", {{"currentPassword", "bell"}, {"newPassword", "ring"}}).body, "ok");
    EXPECT_TRUE(storedShadow().isPasswordMatching("ring"));
    EXPECT_FALSE(storedShadow().storedPassword().isOldForm());
}

// Logins hash on the workers: while several run at once, each ends with its own outcome and a read of
// the configuration is answered.
TEST_F(PasswordStorage, LoginsAtOnceEachGetTheirOwnOutcome) {
    Browser reader = loggedInBrowser("secret");
    web::loginThrottle.clear();
    std::vector<std::future<int>> logins;
    for (int i = 0; i < 4; ++i)
        logins.push_back(std::async(std::launch::async, [this, i] {
            Browser client = browser();
            return client.postJson("/auth/login", login(i % 2 == 0 ? "secret" : "wrong")).status;
        }));
    EXPECT_EQ(reader.get("/db").status, 200);
    for (size_t i = 0; i < logins.size(); ++i) EXPECT_EQ(logins[i].get(), i % 2 == 0 ? 302 : 400) << i;
}

}  // namespace
}  // namespace quorvane
