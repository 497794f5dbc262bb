#include "standin_options.h"

#include <iostream>

namespace standin {
namespace {

constexpr const char* USAGE =
    "Usage: quorvane-service-standin [--port N] [--registry FILE] [--announcements DIR]\n"
    "A development stand-in of the maker's remote service, on 127.0.0.1.\n"
    "  --port N             port to listen on (default 5002)\n"
    "  --registry FILE      calendar registry with \"entries\" and \"version\" (default: the sample)\n"
    "  --announcements DIR  folder of <id>.mp3 announcements (default: the sample)\n";

std::optional<int> portNumber(const std::string& text) {
    try {
        std::size_t used = 0;
        const int port = std::stoi(text, &used);
        if (used == text.size() && port > 0 && port < 65536) return port;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& arguments, bool& helpShown) {
    Options options;
    options.registryFile = std::filesystem::path(QUORVANE_STANDIN_DATA_DIR) / "registry.json";
    options.announcementsDir = std::filesystem::path(QUORVANE_STANDIN_DATA_DIR) / "announcements";
    helpShown = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (name == "-h" || name == "--help") {
            std::cout << USAGE;
            helpShown = true;
            return std::nullopt;
        }
        if (name != "--port" && name != "--registry" && name != "--announcements") {
            std::cerr << "Unknown option: " << arguments[i] << "\n" << USAGE;
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 == arguments.size()) {
                std::cerr << name << " needs a value\n" << USAGE;
                return std::nullopt;
            }
            value = arguments[++i];
        }
        if (name == "--port") {
            const auto port = portNumber(*value);
            if (!port) {
                std::cerr << "Not a port number: " << *value << "\n";
                return std::nullopt;
            }
            options.port = *port;
        } else if (name == "--registry") {
            options.registryFile = *value;
        } else {
            options.announcementsDir = *value;
        }
    }
    return options;
}

}  // namespace standin
