// Playing time of audio files in whole seconds, read from their headers.
#include "audio/audio_length.h"

#include <gtest/gtest.h>

#include "audio/signals.h"
#include "audio/sound_files.h"
#include "model/db.h"
#include "support/temp_dir.h"
#include "support/wave_bytes.h"

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

TEST_F(AudioLengthTest, ReadingStopsAtItsTimeLimit) {
    using namespace std::chrono;
    constexpr uint64_t SIZE = 99 * 1024 * 1024;
    // TagLib searches a large file that is not MP3 byte by byte for a frame: 5 to 40 s for this one.
    const auto zeros = dir / "zeros.mp3";
    writeFile(zeros, "");
    std::filesystem::resize_file(zeros, SIZE);
    const auto start = steady_clock::now();
    EXPECT_FALSE(readAudioSeconds(zeros.string(), AudioFormat::MP3, milliseconds(300)));
    EXPECT_LT(steady_clock::now() - start, seconds(2));

    // Real audio of that size is read from its headers at once, well within the limit.
    const auto wave = dir / "long.wav";
    writeFile(wave, waveHeader(SIZE));
    std::filesystem::resize_file(wave, 44 + SIZE);
    const auto seconds = readAudioSeconds(wave.string(), AudioFormat::WAVE, milliseconds(300));
    ASSERT_TRUE(seconds);
    EXPECT_NEAR(*seconds, SIZE / 16000.0, 0.001);
}

TEST(FactorySoundLength, EveryFactorySignalHasTheLengthItsRecordStates) {
    DB factory;
    factory.loadFactoryDefault();
    ASSERT_EQ(factory.signals.size(), 13u);
    for (const auto& [id, signal] : factory.signals) {
        const std::string file = (std::filesystem::path(QUORVANE_SOURCE_DIR) / "assets" / signal.filename).string();
        EXPECT_EQ(getAudioLength(file), signal.lengthSec) << id << " " << file;
    }
}

}  // namespace
}  // namespace quorvane::testing
