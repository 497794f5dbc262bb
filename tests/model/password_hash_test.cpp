#include "model/password_hash.h"

#include <string>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

// A small cost keeps these cases quick; the stored cost is what verifies.
const ScryptCost CHEAP{1024, 8, 1};

TEST(PasswordHash, VerifiesByTheCostItCarries) {
    const std::string stored = hashPassword("bell", CHEAP);
    EXPECT_EQ(stored.rfind("scrypt$1024$8$1$", 0), 0u) << stored;
    EXPECT_TRUE(isScryptHash(stored));
    EXPECT_TRUE(isScryptHashOf(stored, "bell"));
    EXPECT_FALSE(isScryptHashOf(stored, "bell "));
    EXPECT_FALSE(isScryptHashOf(stored, ""));
    EXPECT_NE(hashPassword("bell", CHEAP), stored) << "each hash draws its own salt";
}

TEST(PasswordHash, ThePasswordsBytesCountWhole) {
    const std::string withNul("a\0b", 3);
    const std::string stored = hashPassword(withNul, CHEAP);
    EXPECT_TRUE(isScryptHashOf(stored, withNul));
    EXPECT_FALSE(isScryptHashOf(stored, "a"));
    const std::string empty = hashPassword("", CHEAP);
    EXPECT_TRUE(isScryptHashOf(empty, ""));
}

TEST(PasswordHash, ATamperedTextVerifiesNothing) {
    const std::string stored = hashPassword("bell", CHEAP);
    std::string flipped = stored;
    flipped.back() = flipped.back() == '0' ? '1' : '0';
    EXPECT_TRUE(isScryptHash(flipped));
    EXPECT_FALSE(isScryptHashOf(flipped, "bell"));
    std::string otherCost = stored;
    otherCost.replace(7, 4, "2048");
    EXPECT_FALSE(isScryptHashOf(otherCost, "bell"));
}

TEST(PasswordHash, OtherFormsAndRuinousCostsAreNotHashes) {
    const std::string salt(32, 'a'), hash(64, 'b');
    EXPECT_TRUE(isScryptHash("scrypt$16384$8$1$" + salt + "$" + hash));
    for (const std::string& text :
         {std::string(64, 'b'), std::string(), "scrypt$16384$8$1$" + salt, "scrypt$16384$8$1$" + salt + "$" + hash + "$", "scrypt$16384$8$1$$" + hash,
          "scrypt$16384$8$1$" + salt + "$" + hash.substr(1), "scrypt$16384$8$1$" + salt + "$" + std::string(64, 'B'),
          "scrypt$16383$8$1$" + salt + "$" + hash,   // not a power of two
          "scrypt$016384$8$1$" + salt + "$" + hash,  // not the written form
          "scrypt$-16384$8$1$" + salt + "$" + hash,
          "scrypt$4294967296$8$1$" + salt + "$" + hash,  // gigabytes for one login
          "scrypt$1048576$8$1$" + salt + "$" + hash,     // 1 GiB
          "scrypt$16384$0$1$" + salt + "$" + hash, "scrypt$16384$8$17$" + salt + "$" + hash, "Scrypt$16384$8$1$" + salt + "$" + hash,
          "pbkdf2$16384$8$1$" + salt + "$" + hash}) {
        EXPECT_FALSE(isScryptHash(text)) << text;
        EXPECT_FALSE(isScryptHashOf(text, "bell")) << text;
    }
    EXPECT_THROW(hashPassword("bell", {1000, 8, 1}), std::invalid_argument);
}

}  // namespace
}  // namespace quorvane
