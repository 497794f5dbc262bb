#include "support/wave_bytes.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace quorvane::testing {
namespace {

void appendLittleEndian(std::string& bytes, uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

}  // namespace

std::string waveHeader(uint32_t dataBytes, int sampleRate) {
    std::string bytes = "RIFF";
    appendLittleEndian(bytes, 36 + dataBytes, 4);
    bytes += "WAVEfmt ";
    appendLittleEndian(bytes, 16, 4);  // format chunk size
    appendLittleEndian(bytes, 1, 2);   // PCM
    appendLittleEndian(bytes, 1, 2);   // mono
    appendLittleEndian(bytes, static_cast<uint32_t>(sampleRate), 4);
    appendLittleEndian(bytes, static_cast<uint32_t>(sampleRate) * 2, 4);  // bytes per second
    appendLittleEndian(bytes, 2, 2);                                      // bytes per frame
    appendLittleEndian(bytes, 16, 2);                                     // bits per sample
    bytes += "data";
    appendLittleEndian(bytes, dataBytes, 4);
    return bytes;
}

std::string waveBytes(double seconds, int frequency, int sampleRate) {
    const auto frames = static_cast<uint32_t>(seconds * sampleRate);
    std::string bytes = waveHeader(frames * 2, sampleRate);
    for (uint32_t i = 0; i < frames; ++i) {
        const double sample = 8000.0 * std::sin(2.0 * std::numbers::pi * frequency * i / sampleRate);
        appendLittleEndian(bytes, static_cast<uint32_t>(static_cast<int16_t>(std::lround(sample))), 2);
    }
    return bytes;
}

}  // namespace quorvane::testing
