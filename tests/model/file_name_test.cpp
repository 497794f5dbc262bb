#include "model/file_name.h"

#include <gtest/gtest.h>

#include "model/audio_format.h"

namespace quorvane {
namespace {

TEST(FileNameAndExtension, SplitsAtTheLastDotOfTheName) {
    using Pair = std::pair<std::string, std::string>;
    EXPECT_EQ(getFileNameAndExtension("Bell.MP3"), Pair("Bell", "mp3"));
    EXPECT_EQ(getFileNameAndExtension("a.b.wav"), Pair("a.b", "wav"));
    EXPECT_EQ(getFileNameAndExtension("README"), Pair("README", ""));
    EXPECT_EQ(getFileNameAndExtension("name."), Pair("name", ""));
    EXPECT_EQ(getFileNameAndExtension(".hidden"), Pair(".hidden", ""));
    EXPECT_EQ(getFileNameAndExtension("..hidden.Ogg"), Pair("..hidden", "ogg"));
    EXPECT_EQ(getFileNameAndExtension("dir.v2/file"), Pair("dir.v2/file", ""));
}

TEST(AudioFormat, FollowsTheExtensionRule) {
    EXPECT_EQ(audioFormatOf("/music/song.MP3"), AudioFormat::MP3);
    EXPECT_EQ(audioFormatOf("c.d.Wav"), AudioFormat::WAVE);
    EXPECT_EQ(audioFormatOf("clip.mp4"), AudioFormat::MP4);
    EXPECT_EQ(audioFormatOf("..mp3"), AudioFormat::UNKNOWN) << "a leading dot starts no extension";
    EXPECT_EQ(audioFormatOf("/dir.mp3/file"), AudioFormat::UNKNOWN);
    EXPECT_EQ(audioFormatOf("tune.ogg"), AudioFormat::UNKNOWN);
}

// The backups of a district's players are named after them.
TEST(FileNamePart, KeepsWhatAnySystemAcceptsAndNothingElse) {
    EXPECT_EQ(fileNamePart("North building"), "North-building");
    EXPECT_EQ(fileNamePart("  ../\\Room \"12\"/: "), "Room-12");
    EXPECT_EQ(fileNamePart("Észak épület"), "szak-p-let") << "bytes beyond ASCII are no part of it";
    EXPECT_EQ(fileNamePart("a_b-c"), "a_b-c");
    EXPECT_EQ(fileNamePart(""), "");
    EXPECT_EQ(fileNamePart("!!!"), "");
    EXPECT_EQ(fileNamePart(std::string(100, 'x')).size(), 40u);
}

}  // namespace
}  // namespace quorvane
