#include "core/file_io.h"

#include <cerrno>
#include <fstream>
#include <string>

#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>

#include <random>

#include <io.h>
#else
#include <stdlib.h>
#include <unistd.h>
#endif

namespace quorvane {

#ifdef _WIN32

namespace {

// errno for the Windows error of the last failed call.
void setErrnoFromLastError() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION: errno = EACCES; break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS: errno = EEXIST; break;
        default: errno = EIO;
    }
}

}  // namespace

int openFileDescriptor(const std::filesystem::path& path, int flags, int mode) {
    const int permission = (mode & 0200) != 0 ? (_S_IREAD | _S_IWRITE) : _S_IREAD;
    return _wopen(path.c_str(), flags | _O_BINARY | _O_NOINHERIT, permission);
}

bool closeFileDescriptor(int fd) { return _close(fd) == 0; }

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const unsigned int piece = static_cast<unsigned int>(std::min<std::size_t>(bytes.size(), 1u << 30));
        const int count = _write(fd, bytes.data(), piece);
        if (count <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

std::int64_t readAt(int fd, char* buffer, std::size_t size, std::uint64_t offset) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(handle, buffer, want, &got, &position)) {
        if (GetLastError() == ERROR_HANDLE_EOF) return 0;
        setErrnoFromLastError();
        return -1;
    }
    return got;
}

std::optional<std::uint64_t> regularFileSize(int fd) {
    struct _stat64 info {};
    if (_fstat64(fd, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

bool syncFileDescriptor(int fd) { return _commit(fd) == 0; }

bool syncFileData(int fd) { return _commit(fd) == 0; }

bool syncPath(const std::filesystem::path& path) {
    // FlushFileBuffers needs a handle that may write.
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        setErrnoFromLastError();
        return false;
    }
    const bool flushed = FlushFileBuffers(handle) != 0;
    if (!flushed) setErrnoFromLastError();
    CloseHandle(handle);
    return flushed;
}

bool syncFolder(const std::filesystem::path&) { return true; }

int createUniqueFile(std::filesystem::path& path) {
    static constexpr std::string_view LETTERS = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::wstring name = path.native();
    if (name.size() < 6 || name.compare(name.size() - 6, 6, L"XXXXXX") != 0) {
        errno = EINVAL;
        return -1;
    }
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (size_t i = name.size() - 6; i < name.size(); ++i) name[i] = static_cast<wchar_t>(LETTERS[random() % LETTERS.size()]);
        const int fd = _wopen(name.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            path = name;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    setErrnoFromLastError();
    return false;
}

bool removeFile(const std::filesystem::path& path) { return _wunlink(path.c_str()) == 0; }

#else

int openFileDescriptor(const std::filesystem::path& path, int flags, int mode) { return ::open(path.c_str(), flags | O_CLOEXEC, mode); }

bool closeFileDescriptor(int fd) { return ::close(fd) == 0; }

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

std::int64_t readAt(int fd, char* buffer, std::size_t size, std::uint64_t offset) {
    for (;;) {
        const ssize_t count = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        if (count < 0 && errno == EINTR) continue;
        return count;
    }
}

std::optional<std::uint64_t> regularFileSize(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

bool syncFileDescriptor(int fd) { return ::fsync(fd) == 0; }

bool syncFileData(int fd) { return ::fdatasync(fd) == 0; }

namespace {

// fsync of a file or folder opened for this alone; errno is that of the failure.
bool syncOpened(const std::filesystem::path& path, int flags) {
    const int fd = openFileDescriptor(path, flags);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return synced;
}

}  // namespace

bool syncPath(const std::filesystem::path& path) { return syncOpened(path, O_RDONLY); }

bool syncFolder(const std::filesystem::path& folder) { return syncOpened(folder, O_RDONLY | O_DIRECTORY); }

int createUniqueFile(std::filesystem::path& path) {
    std::string name = path.native();
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) path = name;
    return fd;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool removeFile(const std::filesystem::path& path) { return ::unlink(path.c_str()) == 0; }

#endif

// Portable as it stands: std::ifstream takes a wide path on Windows.
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
