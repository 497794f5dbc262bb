#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace quorvane {
namespace {

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path) {
    throw std::system_error(errno, std::generic_category(), what + " " + path.string());
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::string_view content) {
    std::string temporary = path.string() + ".tmp-XXXXXX";
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
    if (fchmod(fd, 0644) != 0 || fsync(fd) != 0) discard("cannot flush");
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

}  // namespace quorvane
