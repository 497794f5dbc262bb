#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace quorvane {

// The whole file, or absent when it cannot be opened or read (or is a folder).
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

}  // namespace quorvane
