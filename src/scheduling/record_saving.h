#pragma once
#include <optional>
#include <string>

namespace quorvane {

// The three auto-saves of a scheduler pass, each tried even when another fails. A failure is logged
// and retried on later passes; a failure that repeats is logged at most once a minute.
void saveStoredRecords();

// The error of a stored record whose latest save failed; absent while every record saves.
std::optional<std::string> lastSaveError();

}  // namespace quorvane
