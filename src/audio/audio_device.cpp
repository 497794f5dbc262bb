#include "audio/audio_device.h"

#include <algorithm>
#include <mutex>

namespace quorvane {
namespace {

std::mutex deviceMutex;
std::string chosenDevice;

}  // namespace

void setAudioDevice(std::string device) {
    std::lock_guard lock(deviceMutex);
    chosenDevice = std::move(device);
}

std::string audioDevice() {
    std::lock_guard lock(deviceMutex);
    return chosenDevice;
}

bool isAudioDeviceName(std::string_view name) {
    constexpr size_t MAX_LENGTH = 128;
    if (name.size() > MAX_LENGTH || (!name.empty() && name.front() == '-')) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' || c == '=' || c == ',' ||
               c == '.' || c == '-';
    });
}

std::optional<std::string> cardOfAudioDevice(std::string_view device) {
    const size_t colon = device.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    // After the plugin's name: "CARD=<card>,DEV=<n>" or "<card>,<device>".
    std::string_view arguments = device.substr(colon + 1);
    for (size_t start = 0; start <= arguments.size();) {
        const size_t end = std::min(arguments.find(',', start), arguments.size());
        const std::string_view argument = arguments.substr(start, end - start);
        if (argument.rfind("CARD=", 0) == 0) return std::string(argument.substr(5));
        start = end + 1;
    }
    const std::string_view first = arguments.substr(0, arguments.find(','));
    if (first.empty() || first.find('=') != std::string_view::npos) return std::nullopt;
    return std::string(first);
}

}  // namespace quorvane
