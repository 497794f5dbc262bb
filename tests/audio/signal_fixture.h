#pragma once
// A temporary installation with two signals of the same file name, one among the assets and one in
// the user data folder, played through fake file players.
#include <gtest/gtest.h>

#include "audio/alarm.h"
#include "audio/playback_doubles.h"
#include "audio/signals.h"
#include "storage/stored_records.h"
#include "support/test_layout.h"

namespace quorvane::testing {

class SignalFixture : public ::testing::Test {
protected:
    SignalFixture() {
        writeFile(assetFile, "factory sound");
        writeFile(userFile, "uploaded sound");
        StateLock lock;
        db.edit(lock) = DB();
        db.edit(lock).signals.add(AudioAsset{"factory alarm", "alarm.mp3", 5, StorageCategory::ASSET, MyDateTime()}, "ID_asset");
        db.edit(lock).signals.add(AudioAsset{"uploaded alarm", "alarm.mp3", 5, StorageCategory::PERSISTENT, MyDateTime()}, "ID_user");
        db.edit(lock).settings.alarmSignalId = "ID_user";
        db.edit(lock).settings.alarmDelaySec = 2.0;
    }
    ~SignalFixture() override {
        StateLock lock;
        if (Alarm::isActive()) Alarm::toggle(lock);
    }

    TestLayout layout;
    const std::string assetFile = (layout.assets() / "alarm.mp3").string();
    const std::string userFile = (layout.userData() / "alarm.mp3").string();
    LogCapture log;
    FakePlayback playback;
};

}  // namespace quorvane::testing
