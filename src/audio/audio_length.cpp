#include "audio/audio_length.h"

#include <cmath>
#include <mutex>
#include <optional>

#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>
#include <taglib/tdebuglistener.h>
#include <taglib/wavfile.h>
#include <taglib/wavproperties.h>

#include "model/audio_format.h"

namespace quorvane {
namespace {

// TagLib reports damaged files on standard error, which is the server's log; a failed measurement is
// only the result -1.
class SilentTagLib : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String&) override {}
};

void silenceTagLib() {
    static std::once_flag once;
    static SilentTagLib listener;
    std::call_once(once, [] { TagLib::setDebugListener(&listener); });
}

std::optional<double> mp3Seconds(const std::string& path) {
    TagLib::MPEG::File file(path.c_str(), true, TagLib::AudioProperties::Accurate);
    const TagLib::MPEG::Properties* properties = file.isValid() ? file.audioProperties() : nullptr;
    // TagLib accepts files without a single MPEG frame and reports them as empty; a sample rate is
    // only known once a real frame was found.
    if (!properties || properties->sampleRate() <= 0) return std::nullopt;
    return properties->lengthInMilliseconds() / 1000.0;
}

std::optional<double> waveSeconds(const std::string& path) {
    TagLib::RIFF::WAV::File file(path.c_str(), true, TagLib::AudioProperties::Accurate);
    const TagLib::RIFF::WAV::Properties* properties = file.isValid() ? file.audioProperties() : nullptr;
    // Without a format chunk there is no sample rate, and no WAVE stream.
    if (!properties || properties->sampleRate() <= 0) return std::nullopt;
    // Sample frames give the exact time, which whole milliseconds would round before we do.
    if (properties->sampleFrames() > 0) return static_cast<double>(properties->sampleFrames()) / properties->sampleRate();
    return properties->lengthInMilliseconds() / 1000.0;
}

}  // namespace

int64_t getAudioLength(const std::string& filePath) {
    silenceTagLib();
    try {
        std::optional<double> seconds;
        switch (audioFormatOf(filePath)) {
            case AudioFormat::MP3: seconds = mp3Seconds(filePath); break;
            case AudioFormat::WAVE: seconds = waveSeconds(filePath); break;
            default: break;
        }
        if (!seconds || !std::isfinite(*seconds)) return -1;
        // The default rounding mode sends halves to the even neighbour: 2.5 gives 2, 3.5 gives 4.
        return static_cast<int64_t>(std::nearbyint(*seconds));
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace quorvane
