// The calls into winmm of the Windows file player.
#include <windows.h>

#include <memory>
#include <string>

#include <mmsystem.h>

#include "audio/mci_commands.h"
#include "audio/windows_file_player.h"

namespace quorvane {
namespace {

// The system's texts are UTF-8 inside the program and UTF-16 towards Windows.
std::wstring toWide(const std::string& text) {
    if (text.empty()) return {};
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    return wide;
}

// The text of a buffer up to its first NUL.
std::string fromWide(const wchar_t* text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(bytes) - 1);
    return narrow;
}

}  // namespace

std::string WindowsFilePlayer::_winCommand(const std::string& command) {
    wchar_t returned[MCI_BUFFER_UNITS] = {};
    const std::wstring wideCommand = toWide(command);
    const MCIERROR code = mciSendStringW(wideCommand.c_str(), returned, MCI_BUFFER_LENGTH, nullptr);
    if (code != 0) {
        wchar_t errorText[MCI_BUFFER_UNITS] = {};
        mciGetErrorStringW(code, errorText, MCI_BUFFER_LENGTH);
        failMciCommand(static_cast<uint32_t>(code), command, fromWide(errorText));
    }
    return fromWide(returned);
}

WindowsFilePlayer::WindowsFilePlayer() : WindowsFilePlayer(&WindowsFilePlayer::_winCommand) {}

std::unique_ptr<FilePlayer> makePlatformFilePlayer() { return std::make_unique<WindowsFilePlayer>(); }

}  // namespace quorvane
