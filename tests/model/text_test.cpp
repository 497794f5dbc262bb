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

}  // namespace
}  // namespace quorvane
