// The development stand-in of the remote service, driven through the real client.
#include <ctime>
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>
#include <signal.h>

#include "model/db.h"
#include "remote/announcement_list.h"
#include "remote/api.h"
#include "remote/log_lines.h"
#include "remote/service_double.h"
#include "scheduling/calendar_sync.h"
#include "storage/stored_records.h"
#include "support/child_process.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::hasLogLine;
using testing::LogCapture;
using testing::logLines;
using testing::logLinesContaining;
using testing::readFile;
using testing::ServiceUrlOverride;
using testing::TempDir;
using testing::writeFile;

const std::filesystem::path STANDIN = std::filesystem::path(QUORVANE_BINARY_DIR) / "quorvane-service-standin";
const std::filesystem::path SAMPLE_DATA = std::filesystem::path(QUORVANE_SOURCE_DIR) / "tools" / "standin" / "data";

class RunningStandIn {
public:
    explicit RunningStandIn(const std::vector<std::string>& options = {}) {
        // A free port can be taken by a test running in parallel before the stand-in binds it.
        for (int attempt = 0; attempt < 3 && !started; ++attempt) {
            port = testing::freePort();
            std::vector<std::string> arguments{STANDIN.string(), "--port", std::to_string(port)};
            arguments.insert(arguments.end(), options.begin(), options.end());
            process = std::make_unique<ChildProcess>(arguments);
            started = process->waitForStderr("Stand-in service listening on " + url() + "\n", 10s);
        }
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port); }

    int port = 0;
    std::unique_ptr<ChildProcess> process;
    bool started = false;
};

int weekdayOf(const std::string& date) {
    std::tm tm{};
    tm.tm_year = std::stoi(date.substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(date.substr(5, 2)) - 1;
    tm.tm_mday = std::stoi(date.substr(8, 2));
    const std::time_t moment = timegm(&tm);
    gmtime_r(&moment, &tm);
    return tm.tm_wday;  // Sunday = 0
}

TEST(StandIn, ServesTheSampleRegistryAndAnnouncement) {
    RunningStandIn standIn;
    ASSERT_TRUE(standIn.started) << standIn.process->standardError();
    ServiceUrlOverride url(standIn.url());
    LogCapture log;

    const Json sample = parseJson(readFile(SAMPLE_DATA / "registry.json"));
    const ApiResult ping = Api::ping();
    ASSERT_TRUE(ping.isOk());
    EXPECT_EQ(std::get<Json>(*ping.getValue()), Json({{"calendarVersion", sample["version"]}}));

    {
        StateLock lock;
        cache.edit(lock) = Cache{};
    }
    phoneHome();
    EXPECT_TRUE(hasLogLine(log, "Calendar has been synchronized")) << log.text();
    {
        StateLock lock;
        EXPECT_EQ(cache.view(lock).calendarVersion, sample["version"].get<int64_t>());
        EXPECT_EQ(cache.view(lock).calendarRegions.size(), sample["entries"].size());
        EXPECT_TRUE(cache.view(lock).calendarRegions.contains("hu"));
    }

    TempDir dir;
    const std::string path = (dir / "announcement.mp3").string();
    ASSERT_TRUE(Api::downloadAnnouncement("welcome", path).isOk());
    EXPECT_EQ(readFile(path), readFile(SAMPLE_DATA / "announcements" / "welcome.mp3"));

    const DownloadResult unknown = Api::downloadAnnouncement("no-such", path);
    ASSERT_FALSE(unknown.isOk());
    EXPECT_EQ(std::get<std::string>(unknown.getError().payload), "Unknown announcement: no-such");
    EXPECT_EQ(Api::networkState(), NetworkState::OK);
    EXPECT_EQ(readFile(path), readFile(SAMPLE_DATA / "announcements" / "welcome.mp3")) << "a refused download keeps the file";

    for (const std::string unsafe : {"../registry", "announcements/welcome", "", "welcome.mp3"}) {
        const DownloadResult refused = Api::downloadAnnouncement(unsafe, path);
        ASSERT_FALSE(refused.isOk()) << unsafe;
        EXPECT_EQ(std::get<std::string>(refused.getError().payload), "Unknown announcement") << unsafe;
    }

    const auto listed = listedAnnouncements(Api::listAnnouncements());
    ASSERT_TRUE(listed.has_value());
    ASSERT_EQ(listed->size(), 1u);
    EXPECT_EQ((*listed)[0].id, "welcome");
    EXPECT_EQ((*listed)[0].name, "welcome");

    log.clear();
    const ApiResult bogus = Api::get({{"c", "bogus"}});
    ASSERT_FALSE(bogus.isOk());
    EXPECT_EQ(std::get<std::string>(bogus.getError()), "Unknown command: bogus");
    EXPECT_TRUE(hasLogLine(log, "RESP 400 Unknown command: bogus"));
}

TEST(StandIn, SampleRegistryIsMarkedAndCoversTwoSchoolYears) {
    const Json sample = parseJson(readFile(SAMPLE_DATA / "registry.json"));
    Cache decoded;
    decoded.loadCalendarEntires(sample["entries"], sample["version"].get<int64_t>(), "2026-12-08");
    ASSERT_TRUE(decoded.calendarRegions.contains("hu")) << "the default region";

    const std::regex dateForm(R"(\d{4}-\d{2}-\d{2})");
    for (const auto& [id, region] : decoded.calendarRegions) {
        EXPECT_NE(region.name.find("(sample data)"), std::string::npos) << id;
        for (const auto* dates : {&region.holidays, &region.schoolBreaks, &region.extraWorkdays})
            for (const std::string& date : *dates) {
                EXPECT_TRUE(std::regex_match(date, dateForm)) << id << " " << date;
                EXPECT_GE(date, "2026-09-01") << id;
                EXPECT_LE(date, "2028-08-31") << id;
            }
    }

    const CalendarRegion& hu = *decoded.calendarRegions.find("hu");
    for (const std::string day : {"2026-12-24", "2026-12-25", "2026-12-26", "2027-01-01"})
        EXPECT_NE(std::find(hu.holidays.begin(), hu.holidays.end(), day), hu.holidays.end()) << day;
    for (int day = 21; day <= 31; ++day) {
        const std::string date = "2026-12-" + std::to_string(day);
        EXPECT_NE(std::find(hu.schoolBreaks.begin(), hu.schoolBreaks.end(), date), hu.schoolBreaks.end()) << date;
    }
    EXPECT_NE(std::find(hu.schoolBreaks.begin(), hu.schoolBreaks.end(), "2027-01-01"), hu.schoolBreaks.end());
    EXPECT_TRUE(std::any_of(hu.extraWorkdays.begin(), hu.extraWorkdays.end(), [](const std::string& d) { return weekdayOf(d) == 6; }))
        << "an extra workday on a Saturday";
}

TEST(StandIn, OptionsChooseTheRegistryAndTheAnnouncements) {
    TempDir dir;
    std::filesystem::create_directories(dir / "spoken");
    writeFile(dir / "spoken" / "fire-drill.mp3", "ID3 drill");
    writeFile(dir / "registry.json", R"({"entries": {"xx": {"name": "Test region"}}, "version": 7})");
    RunningStandIn standIn({"--registry", (dir / "registry.json").string(), "--announcements=" + (dir / "spoken").string()});
    ASSERT_TRUE(standIn.started) << standIn.process->standardError();
    ServiceUrlOverride url(standIn.url());

    EXPECT_EQ(std::get<Json>(*Api::ping().getValue())["calendarVersion"], 7);
    ASSERT_TRUE(Api::downloadAnnouncement("fire-drill", (dir / "out.mp3").string()).isOk());
    EXPECT_EQ(readFile(dir / "out.mp3"), "ID3 drill");

    // The file is read on every request, so an edited registry is served at once.
    writeFile(dir / "registry.json", R"({"entries": {}, "version": 8})");
    EXPECT_EQ(std::get<Json>(*Api::ping().getValue())["calendarVersion"], 8);
    writeFile(dir / "registry.json", R"({"entries": [], "version": 9})");
    const ApiResult broken = Api::getCalendarRegistry();
    ASSERT_FALSE(broken.isOk());
    EXPECT_NE(std::get<std::string>(broken.getError()).find("is not a JSON object with"), std::string::npos);
}

TEST(StandIn, StopsCleanlyOnTerminationAndInterruption) {
    for (const int signal : {SIGTERM, SIGINT}) {
        RunningStandIn standIn;
        ASSERT_TRUE(standIn.started) << standIn.process->standardError();
        kill(standIn.process->pid(), signal);
        EXPECT_EQ(standIn.process->waitForExit(10s), 0) << signal;
        EXPECT_NE(standIn.process->standardError().find("Stand-in service stopped"), std::string::npos);
    }
}

TEST(StandIn, RefusesBadOptionsAndABusyPort) {
    ChildProcess badPort({STANDIN.string(), "--port", "70000"});
    EXPECT_EQ(badPort.waitForExit(10s), 2);
    ChildProcess unknown({STANDIN.string(), "--verbose"});
    EXPECT_EQ(unknown.waitForExit(10s), 2);
    EXPECT_NE(unknown.standardError().find("Unknown option: --verbose"), std::string::npos);
    ChildProcess help({STANDIN.string(), "--help"});
    EXPECT_EQ(help.waitForExit(10s), 0);
    EXPECT_NE(help.standardOutput().find("--announcements"), std::string::npos);

    RunningStandIn first;
    ASSERT_TRUE(first.started);
    ChildProcess second({STANDIN.string(), "--port", std::to_string(first.port)});
    EXPECT_EQ(second.waitForExit(10s), 1);
    EXPECT_NE(second.standardError().find("Cannot listen on 127.0.0.1:" + std::to_string(first.port)), std::string::npos);
}

}  // namespace
}  // namespace quorvane
