#pragma once
// Real audio made in memory: a mono 16-bit PCM WAVE file whose tone tells files apart.
#include <string>

namespace quorvane::testing {

std::string waveBytes(double seconds, int frequency = 440, int sampleRate = 8000);

}  // namespace quorvane::testing
