#include "web/target_endpoints.h"

#include <filesystem>

#include <spdlog/spdlog.h>

#include "audio/alarm.h"
#include "audio/emergency.h"
#include "audio/journal_sink.h"
#include "audio/player.h"
#include "audio/signals.h"
#include "core/clock.h"
#include "core/paths.h"
#include "core/version.h"
#include "model/calendar_date.h"
#include "model/errors.h"
#include "model/factory_defaults.h"
#include "model/text.h"
#include "model/tm_conversions.h"
#include "remote/announcement_list.h"
#include "remote/api.h"
#include "scheduling/active_timetable.h"
#include "scheduling/day_plan.h"
#include "scheduling/plan_changes.h"
#include "storage/stored_records.h"
#include "web/emergency_endpoints.h"
#include "web/revisions.h"

namespace quorvane::web {
namespace {

constexpr const char* ANNOUNCEMENT_FILE_NAME = "announcement.mp3";

Json statusTarget() {
    Json result = Json::object();
    result["time"] = getTimeString();
    result["isPlaying"] = Player::isPlaying();
    result["version"] = versionText();
    result["emergency"] = emergencyJson(Emergency::running());
    result["timeZone"] = timeZoneText(std::time(nullptr));
    return result;
}

Json infoTarget() {
    Json result = Json::object();
    result["version"] = versionText();
    result["internetAccess"] = Api::networkState() == NetworkState::OK;
    const auto age = Api::networkStateAge();
    result["internetCheckedSecondsAgo"] = age ? Json(std::chrono::duration_cast<std::chrono::seconds>(*age).count()) : Json(nullptr);
    return result;
}

// The signals a new installation has, for the browser to offer back those that were deleted.
Json factorySignalsTarget() {
    Json result = Json::array();
    for (const FactorySignal& signal : factorySignals()) {
        Json entry = to_dict(signal.asset());
        entry.erase("lastModified");
        entry["id"] = signal.id;
        result.push_back(std::move(entry));
    }
    return result;
}

Json overviewTarget() {
    const bool release = isRelease();  // looks at the file system: outside the lock
    Json result = Json::object();
    StateLock lock;
    const DB& database = db.view(lock);
    result["passwordMissing"] = !shadow.view(lock).isPasswordSet();
    Json timetables = Json::array();
    for (const auto& [id, timetable] : database.timetables) {
        Json info = Json::object();
        info["name"] = timetable.name;
        info["id"] = id;
        timetables.push_back(std::move(info));
    }
    result["timetables"] = std::move(timetables);
    result["activeTimetableInfo"] = to_dict(getActiveTimetableInfo(lock));
    result["time"] = getTimeString();
    result["isRelease"] = release;
    result["alarmActive"] = Alarm::isActive();
    result["playerName"] = database.settings.playerName;
    return result;
}

Json calendarInfoTarget() {
    Json result = Json::object();
    StateLock lock;
    result["regions"] = cache.view(lock).calendarRegions.asTable();
    result["lastUpdate"] = cache.view(lock).calendarLastUpdated;
    return result;
}

// What a choice of region needs, without the regions' dates: a small answer for the dashboard.
Json regionNamesTarget() {
    Json result = Json::array();
    StateLock lock;
    for (const auto& [id, region] : cache.view(lock).calendarRegions)
        result.push_back({{"id", id}, {"name", region.name}, {"preferredWorkdayMode", static_cast<int64_t>(region.preferredWorkdayMode)}});
    return result;
}

// The next day after today that rings, with its first bell; null when none within a year.
Json nextBellDayTarget() {
    StateLock lock;
    const auto next = nextDayWithBells(lock, dayNumberOf(getClock()));
    if (!next) return nullptr;
    return {{"date", next->date}, {"dayOfWeek", next->dayOfWeek}, {"time", next->time.asString()}};
}

// The settings with their revision, taken under one lock.
Reply settingsReply() {
    StateLock lock;
    const Settings& settings = db.view(lock).settings;
    return withRevision(json_response(to_dict(settings)), revisionOf(settings));
}

// A trigger, but checked against If-Match like the other changes of a timetable.
Reply deleteTimetable(const http::Headers& headers, const std::string& id) {
    StateLock lock;
    if (const TimeTable* timetable = db.view(lock).timetables.find(id))
        if (auto stale = staleRevisionRefusal(headers, revisionOf(*timetable))) return *stale;
    // Callers that know nothing of plans: the delete is confirmed, its plans go with it.
    db.edit(lock).timetables.remove(id);
    clearUses(db.edit(lock).settings, id);
    return okText();
}

void deleteSignal(const std::string& id) {
    std::string fileToDelete;
    {
        StateLock lock;
        // Without its signal the alarm would stay silent when it is needed most.
        const AudioAsset* signal = db.view(lock).signals.find(id);
        if (signal && db.view(lock).settings.alarmSignalId == id)
            throw ValueError("'" + signal->name + "' is the alarm signal and cannot be deleted: choose another alarm signal in Settings first");
        if (const auto routine = routineUsing(db.view(lock).settings.emergencyRoutines, id); signal && routine)
            throw ValueError("'" + signal->name + "' is the signal of the " + *routine +
                             " routine and cannot be deleted: choose another signal for it in Settings first");
        const AudioAsset removed = db.edit(lock).signals.remove(id);
        if (removed.storageCategory != StorageCategory::ASSET) fileToDelete = removed.filename;
    }
    // The database first: a crash in between leaves a stray file, never a signal without its file.
    db.persist();
    if (fileToDelete.empty()) return;
    try {
        removeUserFile(fileToDelete);
    } catch (const std::filesystem::filesystem_error& error) {
        // A file already gone is what the deletion wants. Any other failure answers an error, which takes
        // the deletion back: the signal stays with its file.
        if (error.code() != std::errc::no_such_file_or_directory) throw;
    }
}

// A signal played by hand, or a test ring: one play through the path of a scheduled bell, journaled.
void playSignal(const std::string& id, PlayKind kind) {
    if (id == NULL_ID) return;
    StateLock lock;
    if (playSignalById(lock, id, 1, 0.0, PlaySource::INTERFACE, requestedPlay(kind))) return;
    // The lookup succeeded, so only the file can be missing.
    throw std::runtime_error("The file of signal '" + db.view(lock).signals.find(id)->name + "' is missing");
}

// Long enough for any message of the service, short enough for one line of the page.
constexpr size_t MAX_REASON_BYTES = 200;

// Why a download failed, in words: whether the service was reached tells an unknown id from no internet.
std::string downloadFailureText(const DownloadFailure& failure) {
    const std::string reason = shortened(describe(failure.payload), MAX_REASON_BYTES);
    switch (failure.problem) {
        case DownloadProblem::UNREACHABLE: return "Failed to download announcement: the announcement service could not be reached (" + reason + ")";
        case DownloadProblem::SERVICE_REFUSED:
            if (std::holds_alternative<RawBody>(failure.payload)) return "Failed to download announcement: the announcement service refused it";
            return "Failed to download announcement: the announcement service answered: " + reason;
        case DownloadProblem::NOT_WRITTEN: break;
    }
    return "Failed to download announcement: " + reason;
}

void announce(const std::string& id) {
    const std::string path = getUserFilePath(ANNOUNCEMENT_FILE_NAME);
    const DownloadResult download = Api::downloadAnnouncement(id, path);
    if (!download.isOk()) throw std::runtime_error(downloadFailureText(download.getError()));
    JournalEntry entry = requestedPlay(PlayKind::ANNOUNCEMENT);
    entry.signalId = id;
    entry.signalName = "Announcement " + id;
    Player::playFile(path, 1, 0.0, PlaySource::INTERFACE, std::move(entry));
}

// Asked of the service each time: the page asks once when it opens, and the list may change any day.
Json announcementsTarget() {
    const auto listed = listedAnnouncements(Api::listAnnouncements());
    Json announcements = Json::array();
    if (listed)
        for (const ListedAnnouncement& item : *listed) announcements.push_back({{"id", item.id}, {"name", item.name}});
    return {{"listed", listed.has_value()}, {"announcements", std::move(announcements)}};
}

void stopAll() {
    // The alarm and the routine first: stopping their playback alone would leave them switched on.
    Emergency::stop(OutcomeReason::STOP_ALL);
    Alarm::switchOff(OutcomeReason::STOP_ALL);
    stopAllPlay();
}

// The JSON text escapes every control character, so it is safe in a log line as it is.
std::string queryText(const std::vector<std::pair<std::string, std::string>>& query) {
    Json arguments = Json::object();
    for (const auto& [name, value] : query) arguments[name] = value;
    return toJsonText(arguments);
}

}  // namespace

Json get_target(const std::string& target) {
    if (target == "status") return statusTarget();
    if (target == "info") return infoTarget();
    if (target == "overview") return overviewTarget();
    if (target == "signals") {
        StateLock lock;
        return db.view(lock).signals.asTable();
    }
    if (target == "settings") {
        StateLock lock;
        return to_dict(db.view(lock).settings);
    }
    if (target == "calendarInfo") return calendarInfoTarget();
    if (target == "regionNames") return regionNamesTarget();
    if (target == "nextBellDay") return nextBellDayTarget();
    if (target == "factorySignals") return factorySignalsTarget();
    if (target == "announcements") return announcementsTarget();
    throw ValueError("Unknown target: " + target);
}

void trigger_target(const std::string& target, const std::string& id) {
    if (target == "deleteSignal") return deleteSignal(id);
    if (target == "playSignal") return playSignal(id, PlayKind::MANUAL_PLAY);
    if (target == "announce") return announce(id);
    if (target == "toggleAlarm") {
        StateLock lock;
        Alarm::toggle(lock);
        return;
    }
    if (target == "stopAll") return stopAll();
    if (target == "testRing") return playSignal(id, PlayKind::TEST);
    throw ValueError("Unknown target: " + target);
}

Reply get_endpoint(RequestContext& context) {
    const std::string& target = context.param("target");
    if (spdlog::should_log(spdlog::level::debug)) spdlog::debug("GET'{}' with args: {}", escapedForLog(target), queryText(context.request.query));
    try {
        if (target == "settings") return settingsReply();
        return json_response(get_target(target));
    } catch (const std::exception& error) {
        return BadRequest(error.what());
    }
}

Reply trigger_endpoint(RequestContext& context) {
    const std::string& target = context.param("target");
    const std::string& id = context.param("id");
    if (spdlog::should_log(spdlog::level::debug)) spdlog::debug("TRIGGER '{}' with id {}", escapedForLog(target), escapedForLog(id));
    try {
        if (target == "deleteTimetable") return deleteTimetable(context.request.headers, id);
        trigger_target(target, id);
        return okText();
    } catch (const SaveError&) {
        throw;  // the frame's answer: the change could not be saved
    } catch (const std::exception& error) {
        return BadRequest(error.what());
    }
}

}  // namespace quorvane::web
