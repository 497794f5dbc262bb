#include "web/timetable_sharing.h"

#include <cctype>
#include <map>

#include "storage/stored_records.h"

namespace quorvane::web {
namespace {

constexpr const char* FORMAT_MEMBER = "quorvaneTimetable";
constexpr int64_t FORMAT_VERSION = 1;

// Every play description of a timetable, both channels and the extra plays.
template <class Table, class Visit>
void forEachPlayDesc(Table& table, Visit&& visit) {
    for (auto* channel : {&table.chA, &table.chB})
        for (auto* desc : {&channel->startOfClass, &channel->endOfClass, &channel->preStart, &channel->preEnd}) visit(*desc);
    for (auto& extra : table.customPlays) visit(extra.desc);
}

std::string fileNameFor(const std::string& name) {
    std::string safe;
    for (const char c : name) safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') ? c : '_';
    return (safe.empty() ? "timetable" : safe) + ".json";
}

}  // namespace

Reply timetables_export(RequestContext& context) {
    Json file = Json::object();
    std::string name;
    {
        StateLock lock;
        const TimeTable* table = db.view(lock).timetables.find(context.param("id"));
        if (!table) return BadRequest("ID not found");
        name = table->name;
        file[FORMAT_MEMBER] = FORMAT_VERSION;
        file["timetable"] = to_dict(*table);
        Json signals = Json::object();
        forEachPlayDesc(*table, [&](const PlayDesc& desc) {
            if (const AudioAsset* signal = db.view(lock).signals.find(desc.id)) signals[desc.id] = signal->name;
        });
        file["signals"] = std::move(signals);
    }
    Reply reply = json_response(file);
    reply.headers.emplace_back("Content-Disposition", "attachment; filename=\"" + fileNameFor(name) + "\"");
    return reply;
}

Reply timetables_import(RequestContext& context) {
    const Json& file = context.json;
    if (!file.is_object() || !file.contains(FORMAT_MEMBER) || file[FORMAT_MEMBER] != FORMAT_VERSION || !file.contains("timetable"))
        return BadRequest("Not an exported timetable");
    TimeTable table;
    try {
        table = from_dict<TimeTable>(file["timetable"]);
    } catch (const std::exception& error) {
        return BadRequest(std::string("Invalid timetable: ") + error.what());
    }
    const Json names = file.contains("signals") && file["signals"].is_object() ? file["signals"] : Json::object();
    Json missing = Json::array();
    std::string id;
    {
        StateLock lock;
        std::map<std::string, bool> reported;
        // Signals are matched by id; one this installation lacks would fail at its bell, so it plays nothing.
        forEachPlayDesc(table, [&](PlayDesc& desc) {
            if (desc.id == NULL_ID || db.view(lock).signals.contains(desc.id)) return;
            if (!reported[desc.id]) {
                const auto name = names.find(desc.id);
                missing.push_back({{"id", desc.id}, {"name", name != names.end() && name->is_string() ? *name : Json(desc.id)}});
            }
            reported[desc.id] = true;
            desc.id = NULL_ID;
        });
        id = db.edit(lock).timetables.add(std::move(table));
    }
    return json_response({{"id", id}, {"missingSignals", missing}});
}

}  // namespace quorvane::web
