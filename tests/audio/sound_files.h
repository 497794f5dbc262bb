#pragma once
// Short test sounds made with sox, which is part of the project's setup.
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace quorvane::testing {

// A 440 Hz mono tone of the given length at 22050 Hz; the format follows the file's extension.
inline void makeTone(const std::filesystem::path& file, double seconds) {
    const std::string bits = file.extension() == ".wav" ? " -b 16" : "";
    const std::string command = "sox -n -r 22050 -c 1" + bits + " '" + file.string() + "' synth " + std::to_string(seconds) + " sine 440 2>/dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("sox could not make " + file.string());
}

}  // namespace quorvane::testing
