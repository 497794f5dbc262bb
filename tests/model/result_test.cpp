#include "model/result.h"

#include <gtest/gtest.h>

#include "model/digest.h"

namespace quorvane {
namespace {

TEST(Result, OkHoldsItsValue) {
    const auto ok = Result<int, std::string>::Ok(5);
    EXPECT_TRUE(ok.isOk());
    EXPECT_EQ(ok.getValue(), 5);
    try {
        ok.getError();
        FAIL() << "no error";
    } catch (const ValueError& error) {
        EXPECT_STREQ(error.what(), "Called getError() on an ok Result");
    }
}

TEST(Result, ErrHoldsItsErrorAndRefusesTheValue) {
    const auto err = Result<int, std::string>::Err("timeout");
    EXPECT_FALSE(err.isOk());
    EXPECT_EQ(err.getError(), "timeout");
    try {
        err.getValue();
        FAIL() << "no error";
    } catch (const ValueError& error) {
        EXPECT_STREQ(error.what(), "Called getValue() on an error Result: timeout");
    }
}

TEST(Result, OkWithoutValueAndBothValues) {
    const Result<int, std::string> empty;
    EXPECT_TRUE(empty.isOk());
    EXPECT_FALSE(empty.getValue().has_value());
    const Result<int, std::string> both(1, std::string("bad"));
    EXPECT_FALSE(both.isOk());
}

TEST(Digest, Sha256OfUtf8Bytes) {
    EXPECT_EQ(getHash(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(getHash("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_NE(getHash("caf\xC3\xA9"), getHash("caf\xC3\xA8"));
    EXPECT_EQ(getHash("x").size(), 64u);
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Digest, ConstantTimeEquals) {
    EXPECT_TRUE(constantTimeEquals("abc", "abc"));
    EXPECT_FALSE(constantTimeEquals("abc", "abd"));
    EXPECT_FALSE(constantTimeEquals("abc", "ab"));
}

}  // namespace
}  // namespace quorvane
