// Each health check flipped through its own source, and the one word for monitoring tools.
#include "scheduling/health_checks.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "model/journal_entry.h"
#include "storage/journal_writer.h"
#include "storage/stored_records.h"
#include "support/fake_time_source.h"
#include "support/stored_records_reset.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::writeFile;
using Steady = std::chrono::steady_clock;

class HealthChecks : public ::testing::Test {
protected:
    HealthChecks() {
        testing::resetStoredRecords();
        std::filesystem::create_directories(dir / "bin");
        std::filesystem::create_directories(dir / "userdata");
        for (const char* player : {"mpg123", "aplay"}) installProgram(dir / "bin", player);
        writeFile(dir / "cards", " 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n                      HDA Intel PCH at 0xf7f10000 irq 32\n");
        StateLock lock;
        Cache& stored = cache.edit(lock);
        stored.calendarLastUpdated = "2024-09-01";
        CalendarRegion region;
        region.validUntil = "2025-08-31";
        stored.calendarRegions.add(region, "hu");

        sources.searchPath = "/nonexistent:" + (dir / "bin").string();
        sources.dataFolder = dir / "userdata";
        sources.soundCards = dir / "cards";
        sources.journalFolder = dir / "userdata" / "journal";
        sources.clockSync = [this] { return clock; };
        sources.freeSpace = [this](const std::filesystem::path&) { return std::optional<uintmax_t>(freeBytes); };
        sources.steadyNow = [this] { return steadyNow; };
        sources.lastPass = [this] { return lastPass; };
        sources.saveError = [this] { return saveError; };
        sources.today = [] { return testing::reading(2024, 9, 2, 10, 0, 0); };
    }
    static void installProgram(const std::filesystem::path& folder, const char* name) {
        writeFile(folder / name, "#!/bin/sh\n");
        std::filesystem::permissions(folder / name, std::filesystem::perms::owner_all);
    }
    HealthCheck checkNamed(const std::string& name) {
        const auto checks = runHealthChecks(sources);
        const auto found = std::find_if(checks.begin(), checks.end(), [&](const HealthCheck& c) { return c.name == name; });
        EXPECT_NE(found, checks.end()) << name;
        return found == checks.end() ? HealthCheck{} : *found;
    }
    void setValidUntil(const std::string& date) {
        StateLock lock;
        cache.edit(lock).calendarRegions.find("hu")->validUntil = date;
    }

    testing::TempDir dir;
    HealthSources sources;
    ClockSync clock{true, true, 1.5, 20};
    uintmax_t freeBytes = 5'000'000'000;
    Steady::time_point steadyNow = Steady::now();
    std::optional<Steady::time_point> lastPass = steadyNow - std::chrono::milliseconds(100);
    std::optional<std::string> saveError;
};

TEST_F(HealthChecks, AHealthySystemIsOkEverywhere) {
    for (const HealthCheck& check : runHealthChecks(sources)) {
        EXPECT_EQ(check.status, HealthStatus::OK) << check.name << ": " << check.message;
        EXPECT_TRUE(check.remedy.empty()) << check.name;
    }
    EXPECT_EQ(monitoringWord(sources), "ok");
}

TEST_F(HealthChecks, AStalledSchedulerIsAnErrorAndMonitoringHearsStalled) {
    lastPass = steadyNow - std::chrono::seconds(4);
    EXPECT_EQ(checkNamed("scheduler").status, HealthStatus::ERROR);
    EXPECT_EQ(monitoringWord(sources), "stalled");
    lastPass = steadyNow - std::chrono::milliseconds(2900);
    EXPECT_EQ(monitoringWord(sources), "ok");
    lastPass.reset();
    EXPECT_EQ(monitoringWord(sources), "stalled") << "a scheduler that never passed";
}

TEST_F(HealthChecks, BellsSwitchedOffWarnButMonitoringStillHearsOk) {
    {
        StateLock lock;
        db.edit(lock).settings.schedulerEnable = false;
    }
    const HealthCheck check = checkNamed("bells");
    EXPECT_EQ(check.status, HealthStatus::WARNING);
    EXPECT_EQ(check.message + " " + check.remedy, "The bells are switched off: no timetable rings. Switch the bells on.");
    EXPECT_EQ(monitoringWord(sources), "ok") << "switched off on purpose, the player itself is fine";
}

TEST_F(HealthChecks, RecordsThatDoNotSaveAreAnErrorAndMonitoringHearsUnsaved) {
    saveError = "cannot write _db.json: No space left on device";
    const HealthCheck check = checkNamed("dataFolder");
    EXPECT_EQ(check.status, HealthStatus::ERROR);
    EXPECT_NE(check.message.find("No space left on device"), std::string::npos);
    EXPECT_EQ(monitoringWord(sources), "unsaved");
}

TEST_F(HealthChecks, TheClockWithoutSynchronisationWarns) {
    clock.synchronised = false;
    HealthCheck check = checkNamed("clock");
    EXPECT_EQ(check.status, HealthStatus::WARNING);
    EXPECT_EQ(check.message + " " + check.remedy,
              "The clock is not synchronised: bells may ring early or late. Enable time synchronisation on this computer.");
    clock = ClockSync{};
    EXPECT_EQ(checkNamed("clock").status, HealthStatus::WARNING) << "unknown is no reassurance";
    clock = ClockSync{true, true, 2500, 3000};
    EXPECT_EQ(checkNamed("clock").status, HealthStatus::WARNING);
}

TEST_F(HealthChecks, APlayerMissingFromTheSearchPathIsAnError) {
    std::filesystem::remove(dir / "bin" / "mpg123");
    HealthCheck check = checkNamed("players");
    EXPECT_EQ(check.status, HealthStatus::ERROR);
    EXPECT_NE(check.message.find("mpg123"), std::string::npos);
    EXPECT_EQ(check.message.find("aplay"), std::string::npos);
    // Present but not executable counts as missing.
    writeFile(dir / "bin" / "mpg123", "not a program");
    std::filesystem::permissions(dir / "bin" / "mpg123", std::filesystem::perms::owner_read);
    EXPECT_EQ(checkNamed("players").status, HealthStatus::ERROR);
}

TEST_F(HealthChecks, NoSoundCardWarns) {
    writeFile(dir / "cards", "--- no soundcards ---\n");
    EXPECT_EQ(checkNamed("soundOutput").status, HealthStatus::WARNING);
    std::filesystem::remove(dir / "cards");
    EXPECT_EQ(checkNamed("soundOutput").status, HealthStatus::WARNING);
}

TEST_F(HealthChecks, TheSoundOutputNamesTheCardTheBellsPlayThrough) {
    EXPECT_EQ(checkNamed("soundOutput").message,
              "One sound card is present; the bells play through the default output, usually card 0 (HDA Intel PCH).");
    // A Raspberry Pi's jack and HDMI output.
    writeFile(dir / "cards",
              " 0 [Headphones     ]: bcm2835_headpho - bcm2835 Headphones\n                      bcm2835 Headphones\n"
              " 1 [vc4hdmi0       ]: vc4-hdmi - vc4-hdmi-0\n                      vc4-hdmi-0\n");
    for (const std::string device : {"plughw:CARD=vc4hdmi0,DEV=0", "hw:1"}) {
        sources.audioDevice = device;
        const HealthCheck check = checkNamed("soundOutput");
        EXPECT_EQ(check.status, HealthStatus::OK) << device;
        EXPECT_EQ(check.message, "The bells play through the sound device " + device + ", card 1 (vc4-hdmi-0).");
    }
    sources.audioDevice = "default";
    EXPECT_EQ(checkNamed("soundOutput").message, "2 sound cards are present; the bells play through the sound device default.");
}

TEST_F(HealthChecks, ADeviceOfACardThatIsNotPresentWarns) {
    for (const std::string device : {"plughw:CARD=Device,DEV=0", "hw:3"}) {
        sources.audioDevice = device;
        const HealthCheck check = checkNamed("soundOutput");
        EXPECT_EQ(check.status, HealthStatus::WARNING) << device;
        EXPECT_NE(check.message.find("The sound device " + device + " names the card "), std::string::npos) << check.message;
        EXPECT_NE(check.remedy.find("AUDIO_DEVICE"), std::string::npos) << check.remedy;
    }
    writeFile(dir / "cards", "--- no soundcards ---\n");
    EXPECT_EQ(checkNamed("soundOutput").message, "No sound card was found: the bells may not be heard.") << "no card at all says so first";
}

TEST_F(HealthChecks, ADataFolderThatCannotBeWrittenOrIsFullIsAnError) {
    // Root ignores permission bits, so the folder is made unwritable by a file standing where it should be.
    writeFile(dir / "plain", "a file, not a folder");
    sources.dataFolder = dir / "plain";
    HealthCheck check = checkNamed("dataFolder");
    EXPECT_EQ(check.status, HealthStatus::ERROR);
    EXPECT_NE(check.message.find("cannot be written"), std::string::npos);
    sources.dataFolder = dir / "userdata";
    freeBytes = 50'000'000;
    check = checkNamed("dataFolder");
    EXPECT_EQ(check.status, HealthStatus::ERROR);
    EXPECT_NE(check.message.find("Only 50 MB"), std::string::npos);
}

TEST_F(HealthChecks, CalendarDataThatEndsSoonWarnsAndOldSynchronisationToo) {
    setValidUntil("2024-09-12");  // ten days ahead
    HealthCheck check = checkNamed("calendarData");
    EXPECT_EQ(check.status, HealthStatus::WARNING);
    EXPECT_EQ(check.message, "No calendar data after 2024-09-12.");
    setValidUntil("2024-09-01");
    EXPECT_EQ(checkNamed("calendarData").status, HealthStatus::ERROR) << "today is past the data";
    {
        StateLock lock;
        db.edit(lock).settings.calendar.syncRegionId = "at";
    }
    EXPECT_EQ(checkNamed("calendarData").status, HealthStatus::WARNING) << "no data for the chosen region";
    {
        StateLock lock;
        cache.edit(lock).calendarLastUpdated = "2024-08-30";
    }
    EXPECT_EQ(checkNamed("calendarSync").status, HealthStatus::OK) << "three days back is within the last three days";
    {
        StateLock lock;
        cache.edit(lock).calendarLastUpdated = "2024-08-29";
    }
    EXPECT_EQ(checkNamed("calendarSync").status, HealthStatus::WARNING);
}

TEST_F(HealthChecks, FailuresInTodaysJournalWarn) {
    {
        JournalWriter writer(sources.journalFolder);
        JournalEntry failed;
        failed.due = "2024-09-02T08:00:00";
        failed.outcome = PlayOutcome::FAILED;
        writer.submit(failed);
        JournalEntry yesterday = failed;
        yesterday.due = "2024-09-01T08:00:00";
        writer.submit(yesterday);
    }
    const HealthCheck check = checkNamed("journal");
    EXPECT_EQ(check.status, HealthStatus::WARNING);
    EXPECT_EQ(check.message, "Today 1 bell(s) failed and 0 were missed.");
}

}  // namespace
}  // namespace quorvane
