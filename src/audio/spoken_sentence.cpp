#include "audio/spoken_sentence.h"

#include <filesystem>
#include <system_error>

#include "core/atomic_file.h"
#include "core/child_process.h"
#include "core/paths.h"
#include "core/utf8_path.h"
#include "model/digest.h"
#include "model/emergency_routines.h"

namespace quorvane {
namespace {

constexpr const char* SPEECH_PROGRAM = "espeak-ng";
constexpr size_t MAX_LANGUAGE_BYTES = 32;

std::string filePrefix(std::string_view routine) { return "speech-" + std::string(routine) + "-"; }

// A voice name as espeak-ng lists them (en, en-gb, pt-br, hu): it reaches the program as an argument,
// so nothing that could pass for an option or a path.
bool isVoiceName(const std::string& language) {
    if (language.empty() || language.size() > MAX_LANGUAGE_BYTES || language.front() == '-') return false;
    for (const char c : language)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '+')) return false;
    return true;
}

}  // namespace

std::string spokenSentencePath(std::string_view routine, const std::string& language, const std::string& text) {
    return getUserFilePath(filePrefix(routine) + getHash(language + '\n' + text).substr(0, 16) + ".wav");
}

void makeSpokenSentence(std::string_view routine, const std::string& language, const std::string& text) {
    if (!isVoiceName(language)) throw SpeechError("'" + language + "' is no voice name of espeak-ng (for example en, en-gb, de, hu)");
    if (text.size() > EmergencyRoutine::MAX_SPOKEN_BYTES)
        throw SpeechError("the sentence is longer than " + std::to_string(EmergencyRoutine::MAX_SPOKEN_BYTES) + " bytes");
    const std::filesystem::path target = pathFromUtf8(spokenSentencePath(routine, language, text));
    std::error_code ignored;
    if (std::filesystem::exists(target, ignored)) return;
    // The sentence goes by file: given as an argument, a sentence starting with '-' would be an option.
    std::filesystem::path textFile = target, wave = target;
    textFile += ".txt";
    wave += ".part";
    writeFileAtomically(textFile, text);
    CommandOutput result;
    try {
        result = runCommand({SPEECH_PROGRAM, "-v", language, "-w", utf8Of(wave), "-f", utf8Of(textFile)});
    } catch (const std::system_error&) {
        std::filesystem::remove(textFile, ignored);
        throw SpeechError("spoken sentences need espeak-ng, which this computer lacks");
    }
    std::filesystem::remove(textFile, ignored);
    // Where the start is not reported back (under emulation, say), a program that is not there ends with
    // the shell's status for a command not found.
    constexpr int COMMAND_NOT_FOUND = 127;
    if (result.exitStatus == COMMAND_NOT_FOUND) throw SpeechError("spoken sentences need espeak-ng, which this computer lacks");
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(wave, sizeError);
    if (result.exitStatus != 0 || sizeError || size == 0) {
        std::filesystem::remove(wave, ignored);
        throw SpeechError("espeak-ng failed (status " + std::to_string(result.exitStatus) + "); is '" + language + "' one of its voices?");
    }
    std::filesystem::rename(wave, target);
}

void removeOtherSpokenSentences(std::string_view routine, const std::string& kept) {
    const std::string prefix = filePrefix(routine);
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(getUserDataPath(), ignored)) {
        const std::string name = utf8Of(entry.path().filename());
        if (name.rfind(prefix, 0) == 0 && name.ends_with(".wav") && utf8Of(entry.path()) != kept) std::filesystem::remove(entry.path(), ignored);
    }
}

}  // namespace quorvane
