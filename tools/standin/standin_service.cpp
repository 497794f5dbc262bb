#include "standin_service.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace standin {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* JSON_TYPE = "application/json; charset=utf-8";
constexpr const char* TEXT_TYPE = "text/plain; charset=utf-8";

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void answerText(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(text, TEXT_TYPE);
}

// The registry is read on every request, so that an edited file (a raised "version") is served at once.
std::optional<Json> loadRegistry(const Options& options, httplib::Response& response) {
    const auto text = readWholeFile(options.registryFile);
    if (!text) {
        answerText(response, 500, "Cannot read the registry file " + options.registryFile.string());
        return std::nullopt;
    }
    Json registry = Json::parse(*text, nullptr, false);
    if (registry.is_discarded() || !registry.is_object() || !registry.contains("entries") || !registry["entries"].is_object() ||
        !registry.contains("version") || !registry["version"].is_number_integer()) {
        answerText(
            response, 500,
            "The registry file " + options.registryFile.string() + " is not a JSON object with an object \"entries\" and an integer \"version\"");
        return std::nullopt;
    }
    return registry;
}

// Ids name files, so only plain names are accepted: no separators, no dots, nothing to escape.
bool isSafeId(const std::string& id) {
    if (id.empty() || id.size() > 100) return false;
    for (const unsigned char c : id)
        if (!std::isalnum(c) && c != '-' && c != '_') return false;
    return true;
}

void ping(const Options& options, httplib::Response& response) {
    const auto registry = loadRegistry(options, response);
    if (!registry) return;
    response.set_content(Json{{"calendarVersion", (*registry)["version"]}}.dump(), JSON_TYPE);
}

void getCalendarRegistry(const Options& options, httplib::Response& response) {
    const auto registry = loadRegistry(options, response);
    if (!registry) return;
    const Json answer{{"entries", (*registry)["entries"]}, {"version", (*registry)["version"]}};
    response.set_content(answer.dump(), JSON_TYPE);
}

void downloadAnnouncement(const Options& options, const httplib::Request& request, httplib::Response& response) {
    const std::string id = request.get_param_value("id");
    if (!isSafeId(id)) return answerText(response, 404, "Unknown announcement");
    const auto audio = readWholeFile(options.announcementsDir / (id + ".mp3"));
    if (!audio) return answerText(response, 404, "Unknown announcement: " + id);
    response.set_content(*audio, "audio/mpeg");
}

// Every announcement file, by id in name order; the name is the id with its dashes as spaces.
void listAnnouncements(const Options& options, httplib::Response& response) {
    std::vector<std::string> ids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(options.announcementsDir, error))
        if (entry.path().extension() == ".mp3" && isSafeId(entry.path().stem().string())) ids.push_back(entry.path().stem().string());
    std::sort(ids.begin(), ids.end());
    Json list = Json::array();
    for (const std::string& id : ids) {
        std::string name = id;
        std::replace(name.begin(), name.end(), '-', ' ');
        list.push_back({{"id", id}, {"name", name}});
    }
    response.set_content(Json{{"announcements", list}}.dump(), JSON_TYPE);
}

}  // namespace

void addServiceRoutes(httplib::Server& server, const Options& options) {
    server.Get("/api/player/v1", [options](const httplib::Request& request, httplib::Response& response) {
        const std::string command = request.get_param_value("c");
        if (command == "ping") return ping(options, response);
        if (command == "getCalendarRegistry") return getCalendarRegistry(options, response);
        if (command == "downloadAnnouncement") return downloadAnnouncement(options, request, response);
        if (command == "listAnnouncements") return listAnnouncements(options, response);
        answerText(response, 400, "Unknown command: " + command);
    });
}

}  // namespace standin
