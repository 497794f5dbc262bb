#pragma once
#include <filesystem>
#include <string_view>

namespace quorvane {

// Writes a neighbouring temporary file, flushes it to disk and renames it over the target, so a crash
// leaves either the old or the new content, never a part. On failure the old file is untouched, no
// temporary file remains, and std::system_error reaches the caller.
void writeFileAtomically(const std::filesystem::path& path, std::string_view content);

}  // namespace quorvane
