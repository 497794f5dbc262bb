#include "model/text.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(EscapedForLog, ControlCharactersAndBackslashesBecomeEscapes) {
    EXPECT_EQ(escapedForLog("GET /api/get/status"), "GET /api/get/status");
    EXPECT_EQ(escapedForLog("a\nb\r\nc"), "a\\x0ab\\x0d\\x0ac");
    EXPECT_EQ(escapedForLog(std::string("nul\0tab\tesc\x1b[2J del\x7f", 20)), "nul\\x00tab\\x09esc\\x1b[2J del\\x7f");
    EXPECT_EQ(escapedForLog("C:\\x0a"), "C:\\x5cx0a") << "a backslash cannot pass for an escape";
    EXPECT_EQ(escapedForLog("Órarend"), "Órarend") << "text beyond ASCII stays readable";
}

TEST(Shortened, CutsBetweenCharactersAndSaysSo) {
    EXPECT_EQ(shortened("short", 5), "short") << "nothing cut, nothing added";
    EXPECT_EQ(shortened("", 0), "");
    EXPECT_EQ(shortened("abcdef", 3), "abc...");
    // "é" is two bytes and "€" three: a cut inside either keeps the whole character out.
    EXPECT_EQ(shortened("aé", 2), "a...");
    EXPECT_EQ(shortened("ab€", 4), "ab...");
    EXPECT_EQ(shortened("ab€c", 5), "ab€...");
    EXPECT_EQ(shortened("€€", 1), "...");
}

}  // namespace
}  // namespace quorvane
