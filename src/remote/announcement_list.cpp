#include "remote/announcement_list.h"

namespace quorvane {
namespace {

bool usableText(const Json& value, size_t maxBytes) {
    return value.is_string() && !value.get_ref<const std::string&>().empty() && value.get_ref<const std::string&>().size() <= maxBytes;
}

}  // namespace

std::optional<std::vector<ListedAnnouncement>> listedAnnouncements(const ApiResult& answer) {
    if (!answer.isOk() || !answer.getValue()) return std::nullopt;
    const Json* body = std::get_if<Json>(&*answer.getValue());
    if (!body || !body->is_object()) return std::nullopt;
    const auto list = body->find("announcements");
    if (list == body->end() || !list->is_array()) return std::nullopt;
    std::vector<ListedAnnouncement> listed;
    for (const Json& item : *list) {
        if (listed.size() == MAX_LISTED_ANNOUNCEMENTS) break;
        if (!item.is_object()) continue;
        const auto id = item.find("id");
        if (id == item.end() || !usableText(*id, MAX_ANNOUNCEMENT_ID_BYTES)) continue;
        const auto name = item.find("name");
        const bool named = name != item.end() && usableText(*name, MAX_ANNOUNCEMENT_NAME_BYTES);
        listed.push_back({id->get<std::string>(), named ? name->get<std::string>() : id->get<std::string>()});
    }
    return listed;
}

}  // namespace quorvane
