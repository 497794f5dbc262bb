#pragma once
// Files the same way on every system: whole files read at once, and file descriptors through POSIX
// calls on Linux, the C runtime's wide calls and the Windows API on Windows (so paths with any
// characters work there too). Failures return false or -1 with errno set, like the calls they stand for.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <fcntl.h>

namespace quorvane {

// flags are O_RDONLY, O_WRONLY, O_CREAT, O_APPEND and the like; descriptors are never inherited by
// child processes.
int openFileDescriptor(const std::filesystem::path& path, int flags, int mode = 0644);
bool closeFileDescriptor(int fd);
// Writes all of bytes, again after interruptions.
bool writeAll(int fd, std::string_view bytes);
// Reads at an offset without moving a shared position; 0 at the end of the file.
std::int64_t readAt(int fd, char* buffer, std::size_t size, std::uint64_t offset);
// The size of the open file when it is a regular file.
std::optional<std::uint64_t> regularFileSize(int fd);
bool syncFileDescriptor(int fd);
bool syncFileData(int fd);
// Flushes a closed file's content to the disk.
bool syncPath(const std::filesystem::path& path);
// Makes renames and new names in folder durable. Windows has no such call for folders: its renames are
// written through (replaceFile), so this does nothing there.
bool syncFolder(const std::filesystem::path& folder);
// Creates a new file from path, whose name ends in "XXXXXX" (replaced by letters and digits in path),
// open for reading and writing; -1 when none can be made.
int createUniqueFile(std::filesystem::path& path);
// Renames from to to, replacing what is there.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);
bool removeFile(const std::filesystem::path& path);

// The whole file, or absent when it cannot be opened or read (or is a folder).
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

}  // namespace quorvane
