#include "web/config_endpoints.h"

#include <set>
#include <variant>

#include "core/paths.h"
#include "audio/audio_length.h"
#include "audio/signals.h"
#include "model/digest.h"
#include "model/errors.h"
#include "model/file_name.h"
#include "core/atomic_file.h"
#include "storage/stored_records.h"
#include "web/settings_update.h"
#include "web/static_files.h"

namespace quorvane::web {
namespace {

const std::set<std::string> UPLOAD_EXTENSIONS = {"wav", "mp3", "mp4"};

// The timetable of a request body, read raw whatever its content type. Members that TimeTable does not
// have (an "id" from the list form) are ignored.
TimeTable decodeTimetable(const httplib::Request& request) { return from_json<TimeTable>(request.body); }

// A number out of its bounds is named, so that the person editing sees which one.
Reply invalidTimetable(const std::string& member = "") {
    return BadRequest(member.empty() ? "Invalid timetable" : "Invalid timetable: " + member);
}

}  // namespace

Reply get_db(RequestContext&) {
    Json database;
    {
        StateLock lock;
        database = to_dict(db.view(lock));
    }
    return json_response(database);
}

Reply get_timetables(RequestContext&) {
    Json table;
    {
        StateLock lock;
        table = db.view(lock).timetables.asTable();
    }
    return json_response(table);
}

Reply timetables_create(RequestContext& context) {
    TimeTable timetable;
    try {
        timetable = decodeTimetable(context.request);
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
        decoded = decodeTimetable(context.request);
    } catch (...) {
        decoded = std::current_exception();
    }
    StateLock lock;
    if (!db.view(lock).timetables.contains(id)) return BadRequest("ID not found");
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
    return json_response(true);
}

Reply update_settings(RequestContext& context) {
    try {
        checkSettingsUpdate(context.json);
    } catch (const SettingsUpdateError& error) {
        return BadRequest(error.what());
    }
    {
        StateLock lock;
        applySettingsUpdate(db.edit(lock).settings, context.json);
    }
    return json_response(true);
}

Reply upload_file(RequestContext& context) {
    const httplib::Request& request = context.request;
    if (!request.has_file("file")) return BadRequest("No file part");
    const httplib::MultipartFormData part = request.get_file_value("file");
    const auto [name, extension] = getFileNameAndExtension(part.filename);
    if (!UPLOAD_EXTENSIONS.contains(extension)) return BadRequest("Bad format: " + extension);
    const std::string key = md5Hex(part.content);
    {
        StateLock lock;
        if (db.view(lock).signals.contains(key)) return BadRequest("File is already uploaded");
    }
    const std::string filename = key + "." + extension;
    const std::string path = getUserFilePath(filename);
    writeFileAtomically(path, part.content);
    const int64_t lengthSec = getAudioLength(path);
    StateLock lock;
    // Two uploads of the same bytes can both pass the first check; the second one finds the key here.
    if (db.view(lock).signals.contains(key)) return BadRequest("File is already uploaded");
    AudioAsset asset;
    asset.name = name;
    asset.filename = filename;
    asset.lengthSec = lengthSec;
    asset.storageCategory = StorageCategory::PERSISTENT;
    db.edit(lock).signals.add(std::move(asset), key);
    return json_response(key);
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
