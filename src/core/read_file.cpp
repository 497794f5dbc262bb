#include "core/read_file.h"

#include <fstream>
#include <sstream>

namespace quorvane {

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::stringstream content;
    content << file.rdbuf();
    if (file.bad()) return std::nullopt;
    return content.str();
}

}  // namespace quorvane
