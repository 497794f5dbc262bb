#pragma once
// Updates of the settings by dotted field paths ("calendar.workdayMode"), checked against the field
// declarations of the records before anything is applied.
#include <string>
#include <vector>

#include "model/db.h"

namespace quorvane::web {

// Thrown for the first member that does not name a declared field or whose value is not of the field's
// kind; the text names the path.
class SettingsUpdateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Checks every member of the update against the declarations of Settings. SettingsUpdateError when one
// fails (or the update is not an object).
void checkSettingsUpdate(const Json& update);
// Applies a checked update to the settings, member by member in body order.
void applySettingsUpdate(Settings& settings, const Json& update);

}  // namespace quorvane::web
