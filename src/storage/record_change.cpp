#include "storage/record_change.h"

namespace quorvane {
namespace {

void collect(const Json::json_pointer& path, const Json* before, const Json* after, RecordChange& out,
             std::optional<std::string> previousKey = std::nullopt) {
    if (before && after && before->is_object() && after->is_object()) {
        std::optional<std::string> previous;
        for (const auto& [key, value] : before->items()) {
            const auto other = after->find(key);
            collect(path / key, &value, other == after->end() ? nullptr : &*other, out, previous);
            previous = key;
        }
        for (const auto& [key, value] : after->items())
            if (!before->contains(key)) collect(path / key, nullptr, &value, out);
        return;
    }
    if (before && after && *before == *after) return;
    out.push_back({path, before ? std::optional<Json>(*before) : std::nullopt, after ? std::optional<Json>(*after) : std::nullopt,
                   after ? std::nullopt : std::move(previousKey)});
}

// Walked member by member: a json_pointer lookup throws where a member is missing.
Json* memberAt(Json& root, const Json::json_pointer& path) {
    std::vector<std::string> tokens;
    for (Json::json_pointer rest = path; !rest.empty(); rest.pop_back()) tokens.push_back(rest.back());
    Json* node = &root;
    for (auto token = tokens.rbegin(); token != tokens.rend(); ++token) {
        if (!node->is_object()) return nullptr;
        const auto member = node->find(*token);
        if (member == node->end()) return nullptr;
        node = &*member;
    }
    return node;
}

// The removed member back in its object, after the member that preceded it (first when none did).
void putBack(Json& object, const std::string& key, const Json& value, const std::optional<std::string>& previousKey) {
    Json rebuilt = Json::object();
    if (!previousKey || !object.contains(*previousKey)) rebuilt[key] = value;
    for (auto& [name, member] : object.items()) {
        rebuilt[name] = std::move(member);
        if (previousKey && name == *previousKey) rebuilt[key] = value;
    }
    object = std::move(rebuilt);
}

}  // namespace

RecordChange changeBetween(const Json& before, const Json& after) {
    RecordChange change;
    collect(Json::json_pointer(), &before, &after, change);
    return change;
}

void revertChange(Json& current, const RecordChange& change) {
    for (auto member = change.rbegin(); member != change.rend(); ++member) {
        Json* now = memberAt(current, member->path);
        const bool untouched = member->after ? now && *now == *member->after : !now;
        if (!untouched) continue;
        if (member->before && now) {
            *now = *member->before;
            continue;
        }
        Json* parent = memberAt(current, member->path.parent_pointer());
        if (!parent || !parent->is_object()) continue;  // a later change removed the container
        const std::string& key = member->path.back();
        if (member->before) putBack(*parent, key, *member->before, member->previousKey);
        else parent->erase(key);
    }
}

}  // namespace quorvane
