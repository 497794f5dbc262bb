#pragma once
// The announcements the service offers, where it lists them. Services that predate the list answer the
// command with an error, and then the administrator types the announcement's id as before.
#include <optional>
#include <string>
#include <vector>

#include "remote/api.h"

namespace quorvane {

struct ListedAnnouncement {
    std::string id;
    std::string name;  // the id when the service gives no name

    bool operator==(const ListedAnnouncement&) const = default;
};

// Beyond these the service's answer is cut: a page can show no more, and a name longer than a line is
// no name.
inline constexpr size_t MAX_LISTED_ANNOUNCEMENTS = 500;
inline constexpr size_t MAX_ANNOUNCEMENT_ID_BYTES = 100;
inline constexpr size_t MAX_ANNOUNCEMENT_NAME_BYTES = 200;

// The list in an answer of the service ({"announcements": [{"id", "name"}, ...]}); none when the answer
// failed or has no such list. Entries without a usable id are left out.
std::optional<std::vector<ListedAnnouncement>> listedAnnouncements(const ApiResult& answer);

}  // namespace quorvane
