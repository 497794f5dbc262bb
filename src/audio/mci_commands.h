#pragma once
// The texts the Windows file player exchanges with the MCI string interface. They are plain functions
// so that they are built and checked on every platform; only the calls into winmm are Windows-only.
#include <cstdint>
#include <string>

namespace quorvane {

// Every MCI command gets a return buffer of this many UTF-16 units and is told one less as its length;
// so does the error text.
inline constexpr unsigned MCI_BUFFER_UNITS = 600;
inline constexpr unsigned MCI_BUFFER_LENGTH = MCI_BUFFER_UNITS - 1;

std::string mciAlias(uint64_t number);
std::string mciOpenCommand(const std::string& path, const std::string& alias);
std::string mciPlayCommand(const std::string& alias);
std::string mciStatusCommand(const std::string& alias);
std::string mciCloseCommand(const std::string& alias);
// The answer of the status command while the sound plays.
bool mciModeIsPlaying(const std::string& answer);

// Four lines, the first one empty: the code, the command, and the multimedia system's text for the code.
std::string mciErrorMessage(uint32_t code, const std::string& command, const std::string& errorText);
// Logs the composed message at error level and throws PlaybackError carrying it.
[[noreturn]] void failMciCommand(uint32_t code, const std::string& command, const std::string& errorText);

}  // namespace quorvane
