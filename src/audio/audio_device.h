#pragma once
// The sound output the players play through: an ALSA device name such as "plughw:CARD=Headphones"
// (a Raspberry Pi has the jack, HDMI and perhaps a USB card), or "" for the system's default. Chosen
// at start-up; Windows always plays through its default output.
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

void setAudioDevice(std::string device);
std::string audioDevice();

// True when the text can be an ALSA device name: up to 128 letters, digits and _ : = , . -, not
// beginning with '-' (a player would read it as an option). "" (the default) passes.
bool isAudioDeviceName(std::string_view name);

// The card that a device name points at, as its id or index ("Headphones" of
// "plughw:CARD=Headphones,DEV=0", "1" of "hw:1"), or none for names without one ("default").
std::optional<std::string> cardOfAudioDevice(std::string_view device);

}  // namespace quorvane
