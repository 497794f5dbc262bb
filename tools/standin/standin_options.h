#pragma once
// Command line of the stand-in service.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace standin {

struct Options {
    int port = 5002;
    std::filesystem::path registryFile;
    std::filesystem::path announcementsDir;
};

// The options, or absent after printing the reason (or the help text, with helpShown set).
std::optional<Options> parseOptions(const std::vector<std::string>& arguments, bool& helpShown);

}  // namespace standin
