#pragma once
#include <memory>
#include <string>

#include <spdlog/formatter.h>

namespace quorvane {

// Configures the process-wide log on standard error, info or debug level. The lines are the bare
// messages; when standard error is the journal's stream, each starts with its syslog priority ("<3>"
// error, "<4>" warning, "<6>" info, "<7>" debug) so that `journalctl -p warning` can pick them.
// With a log file (the Windows service, which has no console), the lines also go there, with their
// time, the file kept under 3 MiB by rotation (player.log, player.1.log, player.2.log).
void configureLogging(bool verbose, const std::string& logFile = "");

// The line format: the bare message, with the priority in front for the journal.
std::unique_ptr<spdlog::formatter> logFormatter(bool journalPriorities);

// True when the descriptor is the stream that systemd names in JOURNAL_STREAM ("<device>:<inode>");
// a variable inherited by a program whose output went elsewhere does not count.
bool isJournalStream(const char* journalStream, int fd);

}  // namespace quorvane
