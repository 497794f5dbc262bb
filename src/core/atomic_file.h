#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

inline constexpr std::filesystem::perms SHARED_FILE_MODE = std::filesystem::perms(0644);
// Files that hold secrets (the password hash and the session signing salt).
inline constexpr std::filesystem::perms PRIVATE_FILE_MODE = std::filesystem::perms(0600);

// Writes a neighbouring temporary file, flushes it to disk and renames it over the target, so a crash
// leaves either the old or the new content, never a part. A file that is replaced keeps its mode; a new
// one gets newFileMode. On failure the old file is untouched, no temporary file remains, and
// std::system_error reaches the caller.
void writeFileAtomically(const std::filesystem::path& path, std::string_view content, std::filesystem::perms newFileMode = SHARED_FILE_MODE);

// Removes the temporary files that writes interrupted by a crash left in the folder (only names of the
// form writeFileAtomically uses); returns the names removed. For start-up, before anything writes.
std::vector<std::string> removeStaleTemporaryFiles(const std::filesystem::path& folder);

}  // namespace quorvane
