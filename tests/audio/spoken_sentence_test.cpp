// The routines' sentences made with espeak-ng (a stand-in on PATH): once per sentence and language, the
// text handed over by file, and every refusal named.
#include "audio/spoken_sentence.h"

#include <gtest/gtest.h>

#include "support/stub_speech.h"
#include "support/test_layout.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;

class SpokenSentenceTest : public ::testing::Test {
protected:
    TestLayout layout;
};

TEST_F(SpokenSentenceTest, ASentenceIsMadeOnceAndANewTextOrLanguageMakesAFileOfItsOwn) {
    StubSpeech speech;
    makeSpokenSentence("lockdown", "en", "-v de Lockdown. Stay in your room.");
    const fs::path file = spokenSentencePath("lockdown", "en", "-v de Lockdown. Stay in your room.");
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(file.parent_path(), layout.userData());
    // The text goes by file, so a sentence that starts like an option stays a sentence.
    EXPECT_EQ(speech.calls(), "-v en -w " + file.string() + ".part -f " + file.string() + ".txt\n-v de Lockdown. Stay in your room.\n");

    makeSpokenSentence("lockdown", "en", "-v de Lockdown. Stay in your room.");
    EXPECT_EQ(speech.calls().find("-v en", 1), std::string::npos) << "made once";
    EXPECT_NE(spokenSentencePath("lockdown", "de", "x"), spokenSentencePath("lockdown", "en", "x"));
    EXPECT_NE(spokenSentencePath("lockdown", "en", "x"), spokenSentencePath("lockdown", "en", "y"));
    EXPECT_NE(spokenSentencePath("shelter", "en", "x"), spokenSentencePath("lockdown", "en", "x"));

    const std::vector<std::string> left = [&] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(layout.userData())) names.push_back(entry.path().filename().string());
        return names;
    }();
    EXPECT_EQ(left, std::vector<std::string>{file.filename().string()}) << "no text file or part left behind";
}

TEST_F(SpokenSentenceTest, OnlyTheFileKeptOfARoutineStays) {
    StubSpeech speech;
    makeSpokenSentence("lockdown", "en", "old");
    makeSpokenSentence("lockdown", "en", "new");
    makeSpokenSentence("shelter", "en", "old");
    removeOtherSpokenSentences("lockdown", spokenSentencePath("lockdown", "en", "new"));
    EXPECT_FALSE(fs::exists(spokenSentencePath("lockdown", "en", "old")));
    EXPECT_TRUE(fs::exists(spokenSentencePath("lockdown", "en", "new")));
    EXPECT_TRUE(fs::exists(spokenSentencePath("shelter", "en", "old"))) << "another routine's file is its own";
    removeOtherSpokenSentences("shelter", "");
    EXPECT_FALSE(fs::exists(spokenSentencePath("shelter", "en", "old")));
}

TEST_F(SpokenSentenceTest, RefusalsNameTheirCauseAndLeaveNoFile) {
    const auto refusal = [](const std::string& language, const std::string& text) {
        try {
            makeSpokenSentence("evacuation", language, text);
        } catch (const SpeechError& error) {
            EXPECT_FALSE(fs::exists(spokenSentencePath("evacuation", language, text)));
            return std::string(error.what());
        }
        return std::string("made");
    };
    {
        StubSpeech speech;
        EXPECT_NE(refusal("--path=/etc", "x").find("is no voice name"), std::string::npos);
        EXPECT_NE(refusal("en us", "x").find("is no voice name"), std::string::npos);
        EXPECT_NE(refusal("", "x").find("is no voice name"), std::string::npos);
        EXPECT_EQ(refusal("en", std::string(301, 'a')), "the sentence is longer than 300 bytes");
        EXPECT_EQ(refusal("en", std::string(300, 'a')), "made");
        EXPECT_EQ(speech.calls().find("--path"), std::string::npos) << "a refused language never reaches the program";
    }
    {
        StubSpeech failing(1);
        EXPECT_EQ(refusal("xx", "x"), "espeak-ng failed (status 1); is 'xx' one of its voices?");
    }
    {
        // What a start that could not be reported back looks like: the shell's "command not found".
        StubSpeech notFound(127);
        EXPECT_EQ(refusal("en", "x"), "spoken sentences need espeak-ng, which this computer lacks");
    }
    const char* path = std::getenv("PATH");
    const std::string previous = path ? path : "";
    setenv("PATH", layout.root().c_str(), 1);
    EXPECT_EQ(refusal("en", "x"), "spoken sentences need espeak-ng, which this computer lacks");
    setenv("PATH", previous.c_str(), 1);
}

}  // namespace
}  // namespace quorvane::testing
