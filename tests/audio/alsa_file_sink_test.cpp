// The real mpg123 and aplay, started by a playback thread, play into an ALSA "file" device of the
// test's own (ALSA_CONFIG_PATH), so the decoded sound lands in a WAVE file: no sound card needed.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "audio/playback_doubles.h"
#include "audio/sound_files.h"
#include "support/temp_dir.h"

namespace quorvane::testing {
namespace {

constexpr const char* SYSTEM_ALSA_CONFIG = "/usr/share/alsa/alsa.conf";

// Seconds of sound in a canonical WAVE file as the ALSA file plugin writes it.
double waveSeconds(const std::string& content) {
    if (content.size() < 44 || content.compare(0, 4, "RIFF") != 0 || content.compare(36, 4, "data") != 0) return -1;
    uint32_t byteRate = 0;
    std::memcpy(&byteRate, content.data() + 28, sizeof byteRate);
    if (byteRate == 0) return -1;
    return static_cast<double>(content.size() - 44) / byteRate;
}

class AlsaFileSinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(SYSTEM_ALSA_CONFIG));
        // The default device becomes a file plugin over the null device, after the system's definitions.
        std::ostringstream config;
        config << "pcm.!default {\n"
               << "    type file\n"
               << "    slave.pcm \"null\"\n"
               << "    file \"" << sink.string() << "\"\n"
               << "    format \"wav\"\n"
               << "}\n";
        writeFile(dir / "sink.conf", config.str());
        const char* previous = std::getenv("ALSA_CONFIG_PATH");
        _previous = previous ? std::optional<std::string>(previous) : std::nullopt;
        std::ostringstream configPath;
        configPath << SYSTEM_ALSA_CONFIG << ':' << (dir / "sink.conf").string();
        setenv("ALSA_CONFIG_PATH", configPath.str().c_str(), 1);
    }
    void TearDown() override {
        if (_previous) {
            setenv("ALSA_CONFIG_PATH", _previous->c_str(), 1);
        } else {
            unsetenv("ALSA_CONFIG_PATH");
        }
    }

    // Plays the file once through the platform player and gives the seconds that reached the sink.
    double playIntoSink(const std::filesystem::path& file) {
        LogCapture quiet;
        auto thread = Player::playFile(file.string(), 1);
        EXPECT_NE(thread, nullptr);
        if (!thread) return -1;
        EXPECT_TRUE(waitUntil([&] { return thread->ended(); }, std::chrono::seconds(20)));
        EXPECT_FALSE(Player::isPlaying());
        if (!std::filesystem::exists(sink)) return -1;
        return waveSeconds(readFile(sink));
    }

    TempDir dir;
    const std::filesystem::path sink = dir / "sink.wav";

private:
    std::optional<std::string> _previous;
};

TEST_F(AlsaFileSinkTest, Mpg123DecodesAnMp3IntoTheSink) {
    makeTone(dir / "tone.mp3", 0.5);
    const double seconds = playIntoSink(dir / "tone.mp3");
    EXPECT_GE(seconds, 0.5);
    EXPECT_LT(seconds, 0.75);
}

TEST_F(AlsaFileSinkTest, AplayPlaysAWaveIntoTheSink) {
    makeTone(dir / "tone.wav", 0.5);
    const double seconds = playIntoSink(dir / "tone.wav");
    EXPECT_GE(seconds, 0.5);
    EXPECT_LT(seconds, 0.75);
}

}  // namespace
}  // namespace quorvane::testing
