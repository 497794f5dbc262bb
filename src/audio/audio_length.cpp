#include "audio/audio_length.h"

#include <cmath>
#include <mutex>

#include <taglib/mp4file.h>
#include <taglib/mp4properties.h>
#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>
#include <taglib/tdebuglistener.h>
#include <taglib/tfilestream.h>
#include <taglib/wavfile.h>
#include <taglib/wavproperties.h>

#include "core/utf8_path.h"

namespace quorvane {
namespace {

using Clock = std::chrono::steady_clock;

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

// A read-only file that ends for TagLib once the time is up: its searches stop at the first empty read.
class DeadlineStream : public TagLib::IOStream {
public:
    DeadlineStream(const std::string& path, Clock::time_point deadline) : _file(pathFromUtf8(path).c_str(), true), _deadline(deadline) {}

    bool expired() const { return _expired; }

    TagLib::FileName name() const override { return _file.name(); }
    TagLib::ByteVector readBlock(unsigned long length) override {
        if (_expired || Clock::now() > _deadline) {
            _expired = true;
            return {};
        }
        return _file.readBlock(length);
    }
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return _file.isOpen(); }
    void seek(long offset, Position position) override { _file.seek(offset, position); }
    void clear() override { _file.clear(); }
    long tell() const override { return _file.tell(); }
    long length() override { return _file.length(); }
    void truncate(long) override {}

private:
    TagLib::FileStream _file;
    Clock::time_point _deadline;
    bool _expired = false;
};

std::optional<double> mp3Seconds(TagLib::IOStream& stream) {
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), true, TagLib::AudioProperties::Accurate);
    const TagLib::MPEG::Properties* properties = file.isValid() ? file.audioProperties() : nullptr;
    // TagLib accepts files without a single MPEG frame and reports them as empty; a sample rate is
    // only known once a real frame was found.
    if (!properties || properties->sampleRate() <= 0) return std::nullopt;
    return properties->lengthInMilliseconds() / 1000.0;
}

std::optional<double> waveSeconds(TagLib::IOStream& stream) {
    TagLib::RIFF::WAV::File file(&stream, true, TagLib::AudioProperties::Accurate);
    const TagLib::RIFF::WAV::Properties* properties = file.isValid() ? file.audioProperties() : nullptr;
    // Without a format chunk there is no sample rate, and no WAVE stream.
    if (!properties || properties->sampleRate() <= 0) return std::nullopt;
    // Sample frames give the exact time, which whole milliseconds would round before we do.
    if (properties->sampleFrames() > 0) return static_cast<double>(properties->sampleFrames()) / properties->sampleRate();
    return properties->lengthInMilliseconds() / 1000.0;
}

std::optional<double> mp4Seconds(TagLib::IOStream& stream) {
    TagLib::MP4::File file(&stream, true, TagLib::AudioProperties::Accurate);
    const TagLib::MP4::Properties* properties = file.isValid() ? file.audioProperties() : nullptr;
    if (!properties || properties->sampleRate() <= 0) return std::nullopt;
    return properties->lengthInMilliseconds() / 1000.0;
}

}  // namespace

std::optional<double> readAudioSeconds(const std::string& filePath, AudioFormat format, std::chrono::milliseconds limit) {
    silenceTagLib();
    try {
        DeadlineStream stream(filePath, Clock::now() + limit);
        if (!stream.isOpen()) return std::nullopt;
        std::optional<double> seconds;
        switch (format) {
            case AudioFormat::MP3: seconds = mp3Seconds(stream); break;
            case AudioFormat::WAVE: seconds = waveSeconds(stream); break;
            case AudioFormat::MP4: seconds = mp4Seconds(stream); break;
            default: break;
        }
        if (stream.expired() || !seconds || !std::isfinite(*seconds)) return std::nullopt;
        return seconds;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

int64_t wholeSeconds(std::optional<double> seconds) {
    if (!seconds) return -1;
    // The default rounding mode sends halves to the even neighbour: 2.5 gives 2, 3.5 gives 4.
    return static_cast<int64_t>(std::nearbyint(*seconds));
}

int64_t getAudioLength(const std::string& filePath) { return wholeSeconds(readAudioSeconds(filePath, audioFormatOf(filePath))); }

}  // namespace quorvane
