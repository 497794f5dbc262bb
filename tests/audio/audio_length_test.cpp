// Playing time of audio files in whole seconds, read from their headers.
#include <gtest/gtest.h>

#include "audio/audio_length.h"
#include "audio/signals.h"
#include "audio/sound_files.h"
#include "model/db.h"
#include "support/temp_dir.h"

namespace quorvane::testing {
namespace {

class AudioLengthTest : public ::testing::Test {
protected:
    std::string tone(const std::string& name, double seconds) {
        const auto file = dir / name;
        makeTone(file, seconds);
        return file.string();
    }
    TempDir dir;
};

TEST_F(AudioLengthTest, WaveLengthsHalfwayBetweenTwoSecondsGoToTheEvenOne) {
    EXPECT_EQ(getAudioLength(tone("short.wav", 2.5)), 2);
    EXPECT_EQ(getAudioLength(tone("long.wav", 3.5)), 4);
    EXPECT_EQ(getAudioLength(tone("under.wav", 2.49)), 2);
    EXPECT_EQ(getAudioLength(tone("over.wav", 2.51)), 3);
}

TEST_F(AudioLengthTest, Mp3LengthComesFromItsHeadersWhateverTheCaseOfTheExtension) {
    // An encoded MP3 runs a few hundredths longer than what was synthesised (whole frames).
    EXPECT_EQ(getAudioLength(tone("two.mp3", 2.2)), 2);
    EXPECT_EQ(getAudioLength(tone("clip.MP3", 3.7)), 4);
    EXPECT_EQ(getAudioLength(tone("SHOUT.WAV", 1.2)), 1);
}

TEST_F(AudioLengthTest, OtherTypesMissingAndDamagedFilesGiveMinusOne) {
    const std::string wave = tone("real.wav", 2.0);
    std::filesystem::copy_file(wave, dir / "real.ogg");
    std::filesystem::copy_file(wave, dir / "real.mp4");
    EXPECT_EQ(getAudioLength((dir / "real.ogg").string()), -1);
    EXPECT_EQ(getAudioLength((dir / "real.mp4").string()), -1);
    EXPECT_EQ(getAudioLength((dir / "missing.mp3").string()), -1);
    EXPECT_EQ(getAudioLength((dir / "missing.wav").string()), -1);

    std::string garbage;
    for (int i = 0; i < 2000; ++i) garbage += "this is no audio at all. ";
    writeFile(dir / "garbage.mp3", garbage);
    writeFile(dir / "garbage.wav", garbage);
    writeFile(dir / "empty.mp3", "");
    EXPECT_EQ(getAudioLength((dir / "garbage.mp3").string()), -1);
    EXPECT_EQ(getAudioLength((dir / "garbage.wav").string()), -1);
    EXPECT_EQ(getAudioLength((dir / "empty.mp3").string()), -1);
    std::filesystem::create_directory(dir / "folder.mp3");
    EXPECT_EQ(getAudioLength((dir / "folder.mp3").string()), -1);
}

TEST(FactorySoundLength, EveryFactorySignalHasTheLengthItsRecordStates) {
    DB factory;
    factory.loadFactoryDefault();
    ASSERT_EQ(factory.signals.size(), 10u);
    for (const auto& [id, signal] : factory.signals) {
        const std::string file = (std::filesystem::path(QUORVANE_SOURCE_DIR) / "assets" / signal.filename).string();
        EXPECT_EQ(getAudioLength(file), signal.lengthSec) << id << " " << file;
    }
}

}  // namespace
}  // namespace quorvane::testing
