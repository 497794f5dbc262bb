#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <system_error>

namespace quorvane {
namespace {

constexpr std::string_view TEMPORARY_MARK = ".tmp-";
constexpr size_t TEMPORARY_SUFFIX_LENGTH = 6;  // the XXXXXX that mkstemp fills

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path) {
    throw std::system_error(errno, std::generic_category(), what + " " + path.string());
}

bool isTemporaryName(const std::string& name) {
    const size_t length = TEMPORARY_MARK.size() + TEMPORARY_SUFFIX_LENGTH;
    if (name.size() <= length || name.compare(name.size() - length, TEMPORARY_MARK.size(), TEMPORARY_MARK) != 0) return false;
    return std::all_of(name.end() - TEMPORARY_SUFFIX_LENGTH, name.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::string_view content, std::filesystem::perms newFileMode) {
    struct stat present {};
    const mode_t mode = stat(path.c_str(), &present) == 0 ? present.st_mode & 07777 : static_cast<mode_t>(newFileMode);
    std::string temporary = path.string() + std::string(TEMPORARY_MARK) + std::string(TEMPORARY_SUFFIX_LENGTH, 'X');
    const int fd = mkstemp(temporary.data());
    if (fd < 0) fail("cannot create a temporary file for", path);
    const auto discard = [&](const std::string& what) {
        const int saved = errno;
        close(fd);
        unlink(temporary.c_str());
        errno = saved;
        fail(what, path);
    };
    for (size_t written = 0; written < content.size();) {
        const ssize_t count = write(fd, content.data() + written, content.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) discard("cannot write");
        written += static_cast<size_t>(count);
    }
    if (fchmod(fd, mode) != 0 || fsync(fd) != 0) discard("cannot flush");
    if (close(fd) != 0) {
        unlink(temporary.c_str());
        fail("cannot close", path);
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        unlink(temporary.c_str());
        errno = saved;
        fail("cannot replace", path);
    }
    // Make the rename itself durable.
    if (const int folder = open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY); folder >= 0) {
        fsync(folder);
        close(folder);
    }
}

std::vector<std::string> removeStaleTemporaryFiles(const std::filesystem::path& folder) {
    std::vector<std::string> removed;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (isTemporaryName(name) && entry.is_regular_file(error) && std::filesystem::remove(entry.path(), error)) removed.push_back(name);
    }
    return removed;
}

}  // namespace quorvane
