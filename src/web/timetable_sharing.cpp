#include "web/timetable_sharing.h"

#include <cctype>
#include <map>

#include "model/text.h"
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

// Names tell timetables apart in every menu, so an imported copy never shares one: compared as the
// editor compares them, trimmed and without regard to case.
std::string freeImportName(const MapDb<TimeTable>& timetables, const std::string& name) {
    const auto taken = [&](const std::string& candidate) {
        const std::string key = toLower(trimmed(candidate));
        for (const auto& [id, timetable] : timetables)
            if (toLower(trimmed(timetable.name)) == key) return true;
        return false;
    };
    if (!taken(name)) return name;
    const std::string base = std::string(trimmed(name)) + " (imported";
    if (!taken(base + ")")) return base + ")";
    for (int n = 2;; ++n)
        if (!taken(base + " " + std::to_string(n) + ")")) return base + " " + std::to_string(n) + ")";
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
    std::string id, copyName;
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
        table.name = freeImportName(db.view(lock).timetables, table.name);
        copyName = table.name;
        id = db.edit(lock).timetables.add(std::move(table));
    }
    return json_response({{"id", id}, {"name", copyName}, {"missingSignals", missing}});
}

}  // namespace quorvane::web
