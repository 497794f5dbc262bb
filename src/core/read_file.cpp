#include "core/read_file.h"

#include <fstream>

namespace quorvane {

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    // Read in one piece where the size is known (a day of the journal runs to megabytes), then on to
    // the end, for a file that grew meanwhile or told no size.
    std::string content;
    if (const auto size = std::filesystem::file_size(path, error); !error) {
        content.resize(static_cast<size_t>(size));
        file.read(content.data(), static_cast<std::streamsize>(size));
        content.resize(static_cast<size_t>(file.gcount()));
    }
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) content.append(buffer, static_cast<size_t>(file.gcount()));
    if (file.bad()) return std::nullopt;
    return content;
}

}  // namespace quorvane
