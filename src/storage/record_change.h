#pragma once
// A change of a stored record as the JSON members it changed, so that it can be taken back later
// without taking back what other requests changed since.
#include <optional>
#include <string>
#include <vector>

#include "model/json_text.h"

namespace quorvane {

struct MemberChange {
    Json::json_pointer path;
    std::optional<Json> before, after;  // absent: the member did not exist
    // For a member that the change removed: the member before it in its object (absent: it came first).
    std::optional<std::string> previousKey;
};
using RecordChange = std::vector<MemberChange>;

// The members in which after differs from before: objects are compared member by member, anything else
// (lists among them) as a whole.
RecordChange changeBetween(const Json& before, const Json& after);

// Puts back the value before the change in every member that still holds the value after it; a member
// that a later change touched keeps the later value. A member put back keeps its place among the others.
void revertChange(Json& current, const RecordChange& change);

}  // namespace quorvane
