#include "core/atomic_file.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <system_error>

#include "core/file_io.h"
#include "core/utf8_path.h"

namespace quorvane {
namespace {

constexpr std::string_view TEMPORARY_MARK = ".tmp-";
constexpr size_t TEMPORARY_SUFFIX_LENGTH = 6;  // the XXXXXX that mkstemp fills

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path) {
    throw std::system_error(errno, std::generic_category(), what + " " + utf8Of(path));
}

bool isTemporaryName(const std::string& name) {
    const size_t length = TEMPORARY_MARK.size() + TEMPORARY_SUFFIX_LENGTH;
    if (name.size() <= length || name.compare(name.size() - length, TEMPORARY_MARK.size(), TEMPORARY_MARK) != 0) return false;
    return std::all_of(name.end() - TEMPORARY_SUFFIX_LENGTH, name.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::string_view content, std::filesystem::perms newFileMode) {
#ifndef _WIN32
    struct stat present {};
    const mode_t mode = stat(path.c_str(), &present) == 0 ? present.st_mode & 07777 : static_cast<mode_t>(newFileMode);
#else
    (void)newFileMode;  // Windows files keep the folder's access rules
#endif
    std::filesystem::path temporary = path;
    temporary += std::string(TEMPORARY_MARK) + std::string(TEMPORARY_SUFFIX_LENGTH, 'X');
    const int fd = createUniqueFile(temporary);
    if (fd < 0) fail("cannot create a temporary file for", path);
    const auto discard = [&](const std::string& what) {
        const int saved = errno;
        closeFileDescriptor(fd);
        removeFile(temporary);
        errno = saved;
        fail(what, path);
    };
    if (!writeAll(fd, content)) discard("cannot write");
#ifndef _WIN32
    if (fchmod(fd, mode) != 0) discard("cannot flush");
#endif
    if (!syncFileDescriptor(fd)) discard("cannot flush");
    if (!closeFileDescriptor(fd)) {
        removeFile(temporary);
        fail("cannot close", path);
    }
    if (!replaceFile(temporary, path)) {
        const int saved = errno;
        removeFile(temporary);
        errno = saved;
        fail("cannot replace", path);
    }
    // Make the rename itself durable.
    syncFolder(path.parent_path());
}

std::vector<std::string> removeStaleTemporaryFiles(const std::filesystem::path& folder) {
    std::vector<std::string> removed;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = utf8Of(entry.path().filename());
        if (isTemporaryName(name) && entry.is_regular_file(error) && std::filesystem::remove(entry.path(), error)) removed.push_back(name);
    }
    return removed;
}

}  // namespace quorvane
