#include "web/config_endpoints.h"

#include <variant>

#include "audio/audio_length.h"
#include "audio/file_player.h"
#include "audio/signals.h"
#include "audio/spoken_sentence.h"
#include "core/paths.h"
#include "core/utf8_path.h"
#include "model/audio_format.h"
#include "model/errors.h"
#include "model/factory_defaults.h"
#include "model/file_name.h"
#include "model/text.h"
#include "scheduling/plan_changes.h"
#include "storage/stored_records.h"
#include "web/plan_endpoints.h"
#include "web/revisions.h"
#include "web/settings_update.h"
#include "web/static_files.h"

namespace quorvane::web {
namespace {

// The timetable of a request body. Members that TimeTable does not have (an "id" from the list form)
// are ignored.
TimeTable decodeTimetable(const RequestContext& context) { return from_dict<TimeTable>(context.json); }

// A number out of its bounds is named, so that the person editing sees which one.
Reply invalidTimetable(const std::string& member = "") { return BadRequest(member.empty() ? "Invalid timetable" : "Invalid timetable: " + member); }

}  // namespace

// The revisions go with the answers, never into the records: stored files and exports stay as they were.
Reply get_db(RequestContext&) {
    Json database;
    {
        StateLock lock;
        const DB& stored = db.view(lock);
        database = to_dict(stored);
        for (const auto& [id, timetable] : stored.timetables) database["timetables"][id]["revision"] = revisionOf(timetable);
        database["settingsRevision"] = revisionOf(stored.settings);
    }
    return json_response(database);
}

Reply get_timetables(RequestContext&) {
    Json table;
    {
        StateLock lock;
        const MapDb<TimeTable>& timetables = db.view(lock).timetables;
        table = timetables.asTable();
        size_t position = 0;
        const Settings& settings = db.view(lock).settings;
        for (const auto& [id, timetable] : timetables) {
            Json& item = table[position++];
            item["revision"] = revisionOf(timetable);
            // Where it rings, for the list to say so.
            item["uses"] = usesJson(usesOf(settings, id));
            item["uses"]["default"] = settings.defaultTimetableId == id;
        }
    }
    return json_response(table);
}

Reply timetables_create(RequestContext& context) {
    TimeTable timetable;
    try {
        timetable = decodeTimetable(context);
    } catch (const BoundsError& error) {
        return invalidTimetable(error.what());
    } catch (const std::exception&) {
        return invalidTimetable();
    }
    std::string key;
    {
        StateLock lock;
        key = db.edit(lock).timetables.add(std::move(timetable));
    }
    return json_response(key);
}

Reply timetables_update(RequestContext& context) {
    const std::string& id = context.param("id");
    // Decoded before the lock is taken; an unknown id is still answered first.
    std::variant<TimeTable, std::exception_ptr> decoded;
    try {
        decoded = decodeTimetable(context);
    } catch (...) {
        decoded = std::current_exception();
    }
    StateLock lock;
    if (!db.view(lock).timetables.contains(id)) return BadRequest("ID not found");
    if (auto stale = staleRevisionRefusal(context.request.headers, revisionOf(*db.view(lock).timetables.find(id)))) return *stale;
    if (const auto* failure = std::get_if<std::exception_ptr>(&decoded)) {
        try {
            std::rethrow_exception(*failure);
        } catch (const BoundsError& error) {
            return invalidTimetable(error.what());
        } catch (const DecodeError&) {
            return invalidTimetable();
        }
    }
    db.edit(lock).timetables.set(id, std::move(std::get<TimeTable>(decoded)));
    return withRevision(json_response(true), revisionOf(*db.view(lock).timetables.find(id)));
}

namespace {

bool changesSpeech(const Json& update) {
    for (const auto& [path, value] : update.items())
        if (path.rfind("emergencyRoutines", 0) == 0 || path.rfind("speechLanguage", 0) == 0) return true;
    return false;
}

// The routines' sentences as the update leaves them are made before it is kept, outside the state lock
// (speech synthesis takes a moment), so that a saved routine always has its file.
std::optional<Reply> makeSpokenSentences(const Json& update) {
    Settings next;
    {
        StateLock lock;
        next = db.view(lock).settings;
    }
    applySettingsUpdate(next, update);
    for (const std::string_view name : EMERGENCY_ROUTINE_NAMES) {
        const EmergencyRoutine& routine = *routineNamed(next.emergencyRoutines, name);
        if (routine.spokenText.empty()) continue;
        try {
            makeSpokenSentence(name, next.speechLanguage, routine.spokenText);
        } catch (const SpeechError& error) {
            return BadRequest("Could not make the spoken sentence of " + std::string(name) + ": " + error.what());
        }
    }
    return std::nullopt;
}

void removeUnusedSpokenSentences(const Settings& settings) {
    for (const std::string_view name : EMERGENCY_ROUTINE_NAMES) {
        const EmergencyRoutine& routine = *routineNamed(settings.emergencyRoutines, name);
        removeOtherSpokenSentences(name, routine.spokenText.empty() ? "" : spokenSentencePath(name, settings.speechLanguage, routine.spokenText));
    }
}

}  // namespace

Reply update_settings(RequestContext& context) {
    try {
        checkSettingsUpdate(context.json);
    } catch (const SettingsUpdateError& error) {
        return BadRequest(error.what());
    }
    const bool speech = changesSpeech(context.json);
    if (speech)
        if (auto refusal = makeSpokenSentences(context.json)) return *refusal;
    Settings applied;
    Reply reply;
    {
        StateLock lock;
        if (auto stale = staleRevisionRefusal(context.request.headers, revisionOf(db.view(lock).settings))) return *stale;
        // The alerts' members are checked together: a mail address needs its server.
        Settings updated = db.view(lock).settings;
        applySettingsUpdate(updated, context.json);
        if (auto problem = alertSettingsProblem(updated.alerts)) return BadRequest("Invalid value for setting alerts." + *problem);
        if (characterCount(updated.playerName) > Settings::MAX_PLAYER_NAME_CHARACTERS)
            return BadRequest("Invalid value for setting playerName: expected at most " + std::to_string(Settings::MAX_PLAYER_NAME_CHARACTERS) +
                              " characters");
        applySettingsUpdate(db.edit(lock).settings, context.json);
        if (speech) applied = db.view(lock).settings;
        reply = withRevision(json_response(true), revisionOf(db.view(lock).settings));
    }
    // Old sentence files go after the lock is let go: no file work under it.
    if (speech) removeUnusedSpokenSentences(applied);
    return reply;
}

// The file is kept under its name before the signal is added, so that a crash at any moment leaves at
// worst a file that nothing names, never a signal without its file.
Reply upload_file(RequestContext& context) {
    const http::Part* part = context.part("file");
    if (!part) return BadRequest("No file part");
    const auto [name, extension] = getFileNameAndExtension(part->filename);
    const AudioFormat format = audioFormatOf(part->filename);
    if (!platformPlays(format) || !part->file) return BadRequest("Bad format: " + extension);
    const std::string key = context.uploads->md5Of(*part);
    {
        StateLock lock;
        if (db.view(lock).signals.contains(key)) return BadRequest("File is already uploaded");
    }
    const std::optional<double> seconds = readAudioSeconds(utf8Of(part->file->temporaryPath), format);
    if (!seconds || *seconds <= 0) return BadRequest("Not an audio file");
    const std::string filename = key + "." + extension;
    part->file->keepAs(pathFromUtf8(getUserFilePath(filename)));
    StateLock lock;
    // Two uploads of the same bytes can both pass the first check; the second one finds the key here.
    if (db.view(lock).signals.contains(key)) return BadRequest("File is already uploaded");
    AudioAsset asset;
    asset.name = name;
    asset.filename = filename;
    asset.lengthSec = wholeSeconds(seconds);
    asset.storageCategory = StorageCategory::PERSISTENT;
    db.edit(lock).signals.add(std::move(asset), key);
    return json_response(key);
}

Reply signals_restore_factory(RequestContext&) {
    std::vector<std::string> restored;
    {
        StateLock lock;
        // Edited only when something is missing: a restore with nothing to do writes nothing.
        if (!missingFactorySignals(db.view(lock)).empty()) restored = restoreFactorySignals(db.edit(lock));
    }
    return json_response(Json{{"restored", restored}});
}

Reply signals_rename(RequestContext& context) {
    const Json& body = context.json;
    const auto member = body.is_object() ? body.find("name") : body.end();
    if (member == body.end() || !member->is_string()) return BadRequest("Invalid name: expected a text");
    // Names are shown in every signal menu: something to read, and short enough for one line.
    const std::string name(trimmed(member->get<std::string>()));
    if (name.empty() || name.size() > MAX_SIGNAL_NAME_BYTES)
        return BadRequest("Invalid name: expected 1 to " + std::to_string(MAX_SIGNAL_NAME_BYTES) + " bytes");
    StateLock lock;
    AudioAsset* signal = db.edit(lock).signals.find(context.param("id"));
    if (!signal) return BadRequest("ID not found");
    signal->name = name;
    return json_response(true);
}

Reply get_signal_file(RequestContext& context) {
    std::string path;
    {
        StateLock lock;
        if (!db.view(lock).signals.contains(context.param("id"))) return notFound("No such signal");
        path = getSignalAssetPathById(lock, context.param("id"));
    }
    // Audio types by extension: a browser's audio element needs them, and byte ranges to seek.
    return sendFile(path);
}

}  // namespace quorvane::web
