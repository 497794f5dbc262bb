#include "core/paths.h"

#include <cstdlib>
#include <mutex>
#include <stdexcept>

#include "core/utf8_path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>

#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace quorvane {
namespace {

// Real path where the folder exists; otherwise the normalised absolute path.
fs::path resolved(const fs::path& path) {
    std::error_code error;
    const fs::path real = fs::weakly_canonical(path, error);
    return error ? fs::absolute(path).lexically_normal() : real;
}

// The folder named by an environment variable that the user data folder lives in. Without it (or with a
// relative path, which would depend on the working folder) the data would land somewhere unexpected,
// so start-up ends instead.
fs::path folderFromEnvironment(const char* name) {
#ifdef _WIN32
    // The wide variable: the narrow one loses every character outside the code page (a user's name).
    const wchar_t* wide = _wgetenv(fs::path(name).c_str());
    const fs::path folder = wide ? fs::path(wide) : fs::path();
#else
    const char* value = std::getenv(name);
    const fs::path folder = value ? fs::path(value) : fs::path();
#endif
    if (folder.empty())
        throw std::runtime_error(std::string("the environment variable ") + name + " is not set; the user data folder " +
                                 (isWindows() ? "%APPDATA%\\" : "$HOME/.") + APP_NAME + " needs it");
    if (!folder.is_absolute())
        throw std::runtime_error(std::string("the environment variable ") + name + " is not an absolute path: " + utf8Of(folder));
    return folder;
}

// The packaged layout: the executable in <prefix>/bin beside the folder <prefix>/share/quorvane-player.
bool isPackagedLayout(const fs::path& executableDir) {
    std::error_code error;
    return executableDir.filename() == "bin" && fs::is_directory(executableDir.parent_path() / "share" / PACKAGE_SHARE_NAME, error);
}

}  // namespace

namespace {
std::mutex overrideMutex;
fs::path executableDirOverride;
}  // namespace

void overrideExecutableDirForTesting(const fs::path& folder) {
    std::lock_guard lock(overrideMutex);
    executableDirOverride = folder;
}

fs::path devScriptDir() {
    {
        std::lock_guard lock(overrideMutex);
        if (!executableDirOverride.empty()) return executableDirOverride;
    }
#ifdef _WIN32
    wchar_t buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    return resolved(fs::path(std::wstring(buffer, length)).parent_path());
#else
    // The running executable does not move, and resolving it takes a system call per path component:
    // the JSON interface asks on every overview.
    static const fs::path folder = fs::canonical("/proc/self/exe").parent_path();
    return folder;
#endif
}

Layout layoutFor(const fs::path& executableDir) {
    Layout layout;
    const fs::path prefix = executableDir.parent_path();
    layout.release = isPackagedLayout(executableDir);
    if (layout.release) {
        layout.assetRoot = resolved(prefix / "share" / PACKAGE_SHARE_NAME);
        if (isWindows()) layout.userDataPath = resolved(folderFromEnvironment("APPDATA") / APP_NAME);
        else layout.userDataPath = resolved(folderFromEnvironment("HOME") / (std::string(".") + APP_NAME));
    } else {
        layout.assetRoot = resolved(prefix);
        layout.userDataPath = resolved(prefix / "userdata");
    }
    return layout;
}

// Only the layout's kind: resolving its folders takes a system call per path component.
bool isRelease() { return isPackagedLayout(devScriptDir()); }

bool isWindows() {
#if defined(_WIN32) || defined(__CYGWIN__)
    return true;
#else
    return false;
#endif
}

fs::path _joinAssetPath(const fs::path& first, const fs::path& rest, const fs::path& more) {
    fs::path path = layoutFor(devScriptDir()).assetRoot / first;
    if (!rest.empty()) path /= rest;
    if (!more.empty()) path /= more;
    return resolved(path);
}

fs::path getAssetPath(const std::string& filename) { return _joinAssetPath("assets", pathFromUtf8(filename)); }

fs::path getHtmlDir() { return _joinAssetPath("web-ui", "dist"); }

fs::path getUserDataPath() { return layoutFor(devScriptDir()).userDataPath; }

std::string getUserFilePath(const std::string& filename) {
    const fs::path folder = getUserDataPath();
    if (!fs::is_directory(folder)) {
        fs::create_directories(folder.parent_path());
#ifdef _WIN32
        fs::create_directory(folder);
#else
        // Private from the start: the folder holds the password hash and the session signing salt. An
        // existing folder keeps the mode its owner gave it.
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            throw fs::filesystem_error("cannot create the user data folder", folder, std::error_code(errno, std::generic_category()));
#endif
    }
    return utf8Of(folder / pathFromUtf8(filename));
}

void removeUserFile(const std::string& filename) {
    const fs::path path = pathFromUtf8(getUserFilePath(filename));
    if (!fs::remove(path)) throw fs::filesystem_error("cannot remove file", path, std::make_error_code(std::errc::no_such_file_or_directory));
}

}  // namespace quorvane
