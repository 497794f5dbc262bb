#pragma once
// The spoken sentences of the emergency routines: made once with espeak-ng when a routine is saved and
// kept in the user data folder as WAVE files, so an emergency never waits for speech synthesis.
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvane {

class SpeechError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the sentence of a routine, said in a language, is kept. The name carries a digest of both, so a
// changed sentence never plays the old file.
std::string spokenSentencePath(std::string_view routine, const std::string& language, const std::string& text);
// Makes that file unless it exists. SpeechError with the reason: a language that is no voice name, a
// sentence too long, espeak-ng missing or failing.
void makeSpokenSentence(std::string_view routine, const std::string& language, const std::string& text);
// Removes the routine's sentence files other than the one kept (kept may be "": removes them all).
void removeOtherSpokenSentences(std::string_view routine, const std::string& kept);

}  // namespace quorvane
