#include "model/digest.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(Md5, PieceByPieceEqualsTheWhole) {
    EXPECT_EQ(md5Hex("The quick brown fox jumps over the lazy dog"), "9e107d9d372bb6826bd81d3542a419d6");
    Md5 pieces;
    for (const char* piece : {"The quick", " brown fox jumps", "", " over the lazy dog"}) pieces.add(piece);
    EXPECT_EQ(pieces.finishHex(), "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(Md5().finishHex(), md5Hex(""));
}

}  // namespace
}  // namespace quorvane
