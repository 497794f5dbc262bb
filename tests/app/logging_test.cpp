// Log lines for the journal carry their syslog priority; anywhere else they stay bare messages.
#include "app/logging.h"

#include <gtest/gtest.h>
#include <spdlog/sinks/ostream_sink.h>
#include <spdlog/spdlog.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <regex>
#include <sstream>

#include "core/utf8_path.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

std::string linesAtEveryLevel(bool journal) {
    std::ostringstream out;
    auto sink = std::make_shared<spdlog::sinks::ostream_sink_st>(out);
    spdlog::logger logger("test", sink);
    logger.set_formatter(logFormatter(journal));
    logger.set_level(spdlog::level::trace);
    logger.debug("DB saved to disk");
    logger.info("Playing: bell.mp3");
    logger.info("");
    logger.warn("Internet is unreachable");
    logger.error("Scheduler thread error: boom");
    return out.str();
}

TEST(Logging, JournalLinesStartWithTheirPriority) {
    EXPECT_EQ(linesAtEveryLevel(true),
              "<7>DB saved to disk\n<6>Playing: bell.mp3\n<6>\n<4>Internet is unreachable\n<3>Scheduler thread error: boom\n");
}

TEST(Logging, OtherLinesAreTheBareMessages) {
    EXPECT_EQ(linesAtEveryLevel(false), "DB saved to disk\nPlaying: bell.mp3\n\nInternet is unreachable\nScheduler thread error: boom\n");
}

// The Windows service has no console: its lines go to a file in the user data folder, with their time,
// kept small by rotation. The folder's name need not be ASCII.
TEST(Logging, ALogFileGetsTimedLinesAndRotates) {
    testing::TempDir dir;
    const std::filesystem::path folder = dir.path() / std::filesystem::path(u8"Zoë Ünïcode");
    std::filesystem::create_directories(folder);
    const auto previous = spdlog::default_logger();
    configureLogging(false, utf8Of(folder / "player.log"));
    spdlog::debug("not at info level");
    spdlog::info("Stopping: SIGTERM received");
    const std::string first = testing::readFile(folder / "player.log");
    EXPECT_TRUE(std::regex_match(first, std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d info Stopping: SIGTERM received\n"))) << first;

    const std::string filler(1000, 'x');
    for (int line = 0; line < 1200; ++line) spdlog::info("{}", filler);
    spdlog::set_default_logger(previous);
    EXPECT_TRUE(std::filesystem::exists(folder / "player.1.log"));
    EXPECT_FALSE(std::filesystem::exists(folder / "player.3.log"));
    EXPECT_LE(std::filesystem::file_size(folder / "player.log"), 1024u * 1024u);
}

// systemd's journal exists on Linux only.
#ifndef _WIN32
TEST(Logging, TheJournalIsRecognisedByTheDeviceAndInodeOfTheStream) {
    testing::TempDir dir;
    testing::writeFile(dir / "journal", "");
    testing::writeFile(dir / "other", "");
    const int journal = open((dir / "journal").c_str(), O_WRONLY);
    const int other = open((dir / "other").c_str(), O_WRONLY);
    ASSERT_GE(journal, 0);
    ASSERT_GE(other, 0);
    struct stat status {};
    ASSERT_EQ(fstat(journal, &status), 0);
    const std::string named = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);

    EXPECT_TRUE(isJournalStream(named.c_str(), journal));
    EXPECT_FALSE(isJournalStream(named.c_str(), other)) << "an inherited variable while the output goes elsewhere";
    EXPECT_FALSE(isJournalStream(nullptr, journal));
    EXPECT_FALSE(isJournalStream("", journal));
    EXPECT_FALSE(isJournalStream((named + "x").c_str(), journal));
    EXPECT_FALSE(isJournalStream(std::to_string(status.st_dev).c_str(), journal));
    close(journal);
    close(other);
}
#endif

}  // namespace
}  // namespace quorvane
