#pragma once
// Real audio made in memory: a mono 16-bit PCM WAVE file whose tone tells files apart.
#include <cstdint>
#include <string>

namespace quorvane::testing {

std::string waveBytes(double seconds, int frequency = 440, int sampleRate = 8000);
// The header alone, for dataBytes of samples to follow (16-bit mono): big files are this header and a
// sparse stretch of silence.
std::string waveHeader(uint32_t dataBytes, int sampleRate = 8000);

}  // namespace quorvane::testing
