#include "scheduling/health_checks.h"

#ifdef _WIN32
#include <windows.h>

#include <mmsystem.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <regex>

#include "audio/audio_device.h"
#include "core/clock.h"
#include "core/file_io.h"
#include "core/paths.h"
#include "core/utf8_path.h"
#include "model/journal_entry.h"
#include "model/text.h"
#include "scheduling/bell_journal.h"
#include "scheduling/record_saving.h"
#include "scheduling/scheduler.h"
#include "storage/journal_files.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

HealthCheck check(std::string name, HealthStatus status, std::string message, std::string remedy = "") {
    return {std::move(name), status, std::move(message), std::move(remedy)};
}

std::string oneDecimal(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    return buffer;
}

bool schedulerStalled(const HealthSources& sources, std::string& message) {
    const auto last = sources.lastPass();
    if (!last) {
        message = "The scheduler has not started: no bells ring.";
        return true;
    }
    const double age = std::chrono::duration<double>(sources.steadyNow() - *last).count();
    message = age > 1.0 ? "The scheduler last passed " + oneDecimal(age) + " s ago" : "The scheduler passes every tenth of a second.";
    if (age <= std::chrono::duration<double>(SCHEDULER_STALL_LIMIT).count()) return false;
    message += ": bells do not ring while it stands still.";
    return true;
}

HealthCheck schedulerCheck(const HealthSources& sources) {
    std::string message;
    if (!schedulerStalled(sources, message)) return check("scheduler", HealthStatus::OK, message);
    return check("scheduler", HealthStatus::ERROR, message, "Restart the player. If it happens again, keep its log for the maker.");
}

HealthCheck clockCheck(const HealthSources& sources) {
    const ClockSync sync = sources.clockSync();
    if (!sync.known)
        return check("clock", HealthStatus::WARNING, "Whether the clock is synchronised is unknown on this system.",
                     "Make sure time synchronisation is enabled on this computer.");
    if (!sync.synchronised)
        return check("clock", HealthStatus::WARNING, "The clock is not synchronised: bells may ring early or late.",
                     "Enable time synchronisation on this computer.");
    const std::string error = "estimated error " + oneDecimal(sync.estimatedErrorMs) + " ms";
    if (sync.estimatedErrorMs > 1000.0)
        return check("clock", HealthStatus::WARNING, "The clock is synchronised but may be off by more than a second (" + error + ").",
                     "Check the time server this computer synchronises with.");
    return check("clock", HealthStatus::OK, "The clock is synchronised (" + error + ").");
}

#ifndef _WIN32
bool executableOnPath(const std::string& searchPath, const std::string& program) {
    for (const std::string_view folder : splitAt(searchPath, ':')) {
        if (folder.empty()) continue;
        const std::filesystem::path candidate = pathFromUtf8(folder) / program;
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error) && access(candidate.c_str(), X_OK) == 0) return true;
    }
    return false;
}
#endif

HealthCheck playersCheck(const HealthSources& sources) {
#ifdef _WIN32
    // Windows plays every signal through its own media control interface: no player to install.
    (void)sources;
    return check("players", HealthStatus::OK, "Windows plays the signals itself.");
#else
    std::vector<std::string> missing;
    if (!executableOnPath(sources.searchPath, "mpg123")) missing.push_back("mpg123 (MP3 signals)");
    if (!executableOnPath(sources.searchPath, "aplay")) missing.push_back("aplay (WAVE signals)");
    if (missing.empty()) return check("players", HealthStatus::OK, "The sound players mpg123 and aplay are installed.");
    std::string list = missing[0];
    if (missing.size() > 1) list += " and " + missing[1];
    return check("players", HealthStatus::ERROR, "The sound player " + list + " cannot be found: those signals stay silent.",
                 "Install the packages mpg123 and alsa-utils on this computer.");
#endif
}

struct SoundCard {
    std::string index, id, name;
};

#ifndef _WIN32
// The cards of /proc/asound/cards: " 0 [PCH            ]: HDA-Intel - HDA Intel PCH", then a line of detail.
std::vector<SoundCard> soundCardsOf(const std::string& text) {
    static const std::regex cardLine(R"(^\s*(\d+)\s+\[\s*([^\]\s]+)\s*\]:\s*\S+\s+-\s+(.*\S)\s*$)");
    std::vector<SoundCard> cards;
    for (const std::string_view line : splitAt(text, '\n')) {
        std::match_results<std::string_view::const_iterator> match;
        if (std::regex_match(line.begin(), line.end(), match, cardLine)) cards.push_back({match[1], match[2], match[3]});
    }
    return cards;
}

std::string described(const SoundCard& card) { return "card " + card.index + " (" + card.name + ")"; }
#endif

HealthCheck soundOutputCheck(const HealthSources& sources) {
    const std::string noCard = "No sound card was found: the bells may not be heard.";
    const std::string connectIt = "Connect the loudspeakers' sound device to this computer and check that its driver is loaded.";
#ifdef _WIN32
    (void)sources;
    const int cards = static_cast<int>(waveOutGetNumDevs());
    if (cards == 0) return check("soundOutput", HealthStatus::WARNING, noCard, connectIt);
    return check("soundOutput", HealthStatus::OK, cards == 1 ? "One sound card is present." : std::to_string(cards) + " sound cards are present.");
#else
    const std::vector<SoundCard> cards = soundCardsOf(readWholeFile(sources.soundCards).value_or(""));
    if (cards.empty()) return check("soundOutput", HealthStatus::WARNING, noCard, connectIt);
    const std::string present = cards.size() == 1 ? "One sound card is present" : std::to_string(cards.size()) + " sound cards are present";
    if (sources.audioDevice.empty())
        return check("soundOutput", HealthStatus::OK,
                     present + "; the bells play through the default output, usually " + described(cards.front()) + ".");
    const auto card = cardOfAudioDevice(sources.audioDevice);
    if (!card) return check("soundOutput", HealthStatus::OK, present + "; the bells play through the sound device " + sources.audioDevice + ".");
    const auto found = std::find_if(cards.begin(), cards.end(), [&](const SoundCard& each) { return each.id == *card || each.index == *card; });
    if (found == cards.end())
        return check("soundOutput", HealthStatus::WARNING,
                     "The sound device " + sources.audioDevice + " names the card " + *card + ", which is not present: the bells may not be heard.",
                     "Connect that sound card, or choose a present one in AUDIO_DEVICE of /etc/default/quorvane-player (aplay -L lists "
                     "them) and restart the service.");
    return check("soundOutput", HealthStatus::OK, "The bells play through the sound device " + sources.audioDevice + ", " + described(*found) + ".");
#endif
}

bool folderWritable(const std::filesystem::path& folder) {
    std::filesystem::path probe = folder / ".write-probe-XXXXXX";
    const int fd = createUniqueFile(probe);
    if (fd < 0) return false;
    closeFileDescriptor(fd);
    removeFile(probe);
    return true;
}

HealthCheck dataFolderCheck(const HealthSources& sources) {
    const std::string folder = utf8Of(sources.dataFolder);
    if (!folderWritable(sources.dataFolder))
        return check("dataFolder", HealthStatus::ERROR, "The user data folder " + folder + " cannot be written: changes and the journal are lost.",
                     "Check the folder's owner and permissions, and that its disk is not read-only.");
    if (const auto error = sources.saveError())
        return check("dataFolder", HealthStatus::ERROR, "The settings could not be saved: " + *error,
                     "Check the user data folder and the free space on its disk.");
    const auto free = sources.freeSpace(sources.dataFolder);
    if (free && *free < MIN_FREE_BYTES)
        return check("dataFolder", HealthStatus::ERROR,
                     "Only " + std::to_string(*free / 1000000) + " MB are free for the user data folder: saving may soon fail.",
                     "Free space on the disk of " + folder + " (at least 100 MB).");
    return check("dataFolder", HealthStatus::OK, "The user data folder can be written and has room.");
}

int64_t daysBetween(const std::string& earlier, const std::string& later) {
    const auto a = parseDateText(earlier.substr(0, 10)), b = parseDateText(later.substr(0, 10));
    if (!a || !b) return INT64_MAX;
    return (wallSeconds(*b) - wallSeconds(*a)) / SECONDS_IN_A_DAY;
}

std::vector<HealthCheck> calendarChecks(const HealthSources& sources) {
    const std::string today = dateStringOf(sources.today());
    std::string lastUpdate, regionId, validUntil;
    bool regionKnown = false;
    {
        StateLock lock;
        const Cache& stored = cache.view(lock);
        lastUpdate = stored.calendarLastUpdated;
        regionId = db.view(lock).settings.calendar.syncRegionId;
        if (const CalendarRegion* region = stored.calendarRegions.find(regionId)) {
            regionKnown = true;
            validUntil = region->validUntil;
        }
    }
    std::vector<HealthCheck> checks;
    const std::string remedy = "Check that this computer reaches the internet.";
    if (lastUpdate.empty()) checks.push_back(check("calendarSync", HealthStatus::WARNING, "The calendar has never been synchronised.", remedy));
    else if (daysBetween(lastUpdate, today) > CALENDAR_SYNC_DAYS)
        checks.push_back(check("calendarSync", HealthStatus::WARNING,
                               "The calendar was last synchronised on " + lastUpdate.substr(0, 10) + ", more than 3 days ago.", remedy));
    else checks.push_back(check("calendarSync", HealthStatus::OK, "The calendar was synchronised on " + lastUpdate.substr(0, 10) + "."));

    const std::string holidaysUnknown = "holidays and school breaks are not known, so bells may ring on days off.";
    if (!regionKnown) {
        checks.push_back(check("calendarData", HealthStatus::WARNING,
                               "There is no calendar data for the region '" + regionId + "': " + holidaysUnknown,
                               "Choose a region on the calendar page, or wait for the next synchronisation."));
    } else {
        const int64_t ahead = daysBetween(today, validUntil);
        const std::string ends = "No calendar data after " + validUntil;
        if (ahead < 0)
            checks.push_back(check("calendarData", HealthStatus::ERROR, ends + ": " + holidaysUnknown,
                                   "Let the player synchronise the calendar; ask the maker when new data comes."));
        else if (ahead < CALENDAR_AHEAD_DAYS)
            checks.push_back(check("calendarData", HealthStatus::WARNING, ends + ".",
                                   "Let the player synchronise the calendar before then; ask the maker when new data comes."));
        else checks.push_back(check("calendarData", HealthStatus::OK, "The calendar data reaches " + validUntil + "."));
    }
    return checks;
}

HealthCheck journalCheck(const HealthSources& sources) {
    JournalSummary summary;
    for (const JournalEntry& entry : readJournalDay(sources.journalFolder, dateStringOf(sources.today()))) summary.count(entry);
    if (summary.failed == 0 && summary.missed == 0) return check("journal", HealthStatus::OK, "No bell failed or was missed today.");
    return check("journal", HealthStatus::WARNING,
                 "Today " + std::to_string(summary.failed) + " bell(s) failed and " + std::to_string(summary.missed) + " were missed.",
                 "Open the journal to see which bells and why.");
}

// Switched off, no timetable rings: easy to forget after a holiday, so it is a warning, not a state.
HealthCheck bellsCheck() {
    bool on = true;
    {
        StateLock lock;
        on = db.view(lock).settings.schedulerEnable;
    }
    if (on) return check("bells", HealthStatus::OK, "The bells ring on schedule.");
    return check("bells", HealthStatus::WARNING, "The bells are switched off: no timetable rings.", "Switch the bells on.");
}

}  // namespace

HealthSources HealthSources::ofThisProcess() {
    HealthSources sources;
    const char* path = std::getenv("PATH");
    sources.searchPath = path ? path : "";
    sources.dataFolder = getUserDataPath();
    sources.soundCards = "/proc/asound/cards";
    sources.audioDevice = quorvane::audioDevice();
    sources.journalFolder = quorvane::journalFolder();
    sources.clockSync = readClockSync;
    sources.freeSpace = [](const std::filesystem::path& folder) -> std::optional<uintmax_t> {
        std::error_code error;
        const auto space = std::filesystem::space(folder, error);
        if (error) return std::nullopt;
        return space.available;
    };
    sources.steadyNow = [] { return std::chrono::steady_clock::now(); };
    sources.lastPass = lastSchedulerPass;
    sources.saveError = lastSaveError;
    sources.today = getClock;
    return sources;
}

std::vector<HealthCheck> runHealthChecks(const HealthSources& sources) {
    std::vector<HealthCheck> checks{schedulerCheck(sources), bellsCheck(), clockCheck(sources), playersCheck(sources), soundOutputCheck(sources),
                                    dataFolderCheck(sources)};
    for (HealthCheck& calendar : calendarChecks(sources)) checks.push_back(std::move(calendar));
    checks.push_back(journalCheck(sources));
    return checks;
}

std::string monitoringWord(const HealthSources& sources) {
    std::string ignored;
    if (schedulerStalled(sources, ignored)) return "stalled";
    if (sources.saveError()) return "unsaved";
    return "ok";
}

}  // namespace quorvane
