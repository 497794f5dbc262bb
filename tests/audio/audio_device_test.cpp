// The names an administrator may give the sound output, and the card each one points at.
#include "audio/audio_device.h"

#include <vector>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(AudioDeviceName, AlsaNamesPassAndNothingAPlayerCouldTakeForAnOption) {
    for (const std::string& name : std::vector<std::string>{"", "default", "plughw:CARD=Headphones,DEV=0", "hw:1,0", "sysdefault:CARD=vc4hdmi0",
                                                            "dmix:CARD=Device", std::string(128, 'a')})
        EXPECT_TRUE(isAudioDeviceName(name)) << name;
    for (const std::string& name :
         std::vector<std::string>{"-a", "--help", "hw:0 x", "hw:'0'", "plug\"hw", "hw:0;reboot", "hw:0\n", std::string(129, 'a'), "ü"})
        EXPECT_FALSE(isAudioDeviceName(name)) << name;
}

TEST(AudioDeviceCard, TheCardByIdOrIndexOrNoneAtAll) {
    EXPECT_EQ(cardOfAudioDevice("plughw:CARD=Headphones,DEV=0"), "Headphones");
    EXPECT_EQ(cardOfAudioDevice("sysdefault:CARD=vc4hdmi0"), "vc4hdmi0");
    EXPECT_EQ(cardOfAudioDevice("hw:DEV=1,CARD=Device"), "Device") << "the order of the arguments is free";
    EXPECT_EQ(cardOfAudioDevice("hw:1,0"), "1");
    EXPECT_EQ(cardOfAudioDevice("plughw:PCH"), "PCH");
    EXPECT_EQ(cardOfAudioDevice("default"), std::nullopt);
    EXPECT_EQ(cardOfAudioDevice("hw:DEV=0"), std::nullopt);
    EXPECT_EQ(cardOfAudioDevice("hw:"), std::nullopt);
}

TEST(AudioDevice, TheChoiceIsKeptUntilChangedAgain) {
    EXPECT_EQ(audioDevice(), "");
    setAudioDevice("hw:1");
    EXPECT_EQ(audioDevice(), "hw:1");
    setAudioDevice("");
    EXPECT_EQ(audioDevice(), "");
}

}  // namespace
}  // namespace quorvane
