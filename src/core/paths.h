#pragma once
// Where the program's files are. Two layouts:
//  - development: the executable is <root>/build/quorvane-player; assets, web files and user data are
//    <root>/assets, <root>/web-ui/dist and <root>/userdata;
//  - packaged (installed): the executable is <prefix>/bin/quorvane-player next to the folder
//    <prefix>/share/quorvane-player, which holds assets/ and web-ui/dist/; user data lives in
//    ~/.QuorvanePlayer (%APPDATA%\QuorvanePlayer on Windows).
// Nothing is cached: every call looks again.
#include <filesystem>
#include <optional>
#include <string>

namespace quorvane {

inline constexpr const char* APP_NAME = "QuorvanePlayer";
// Name of the folder below <prefix>/share that marks a packaged installation.
inline constexpr const char* PACKAGE_SHARE_NAME = "quorvane-player";

// The folder of the running executable, with symbolic links resolved.
std::filesystem::path devScriptDir();
// Tests stand in a folder of their own for the executable's folder (empty: the real one again).
void overrideExecutableDirForTesting(const std::filesystem::path& folder);

// The layout decided from an executable folder; the functions below use devScriptDir().
struct Layout {
    bool release = false;
    std::filesystem::path assetRoot;
    std::filesystem::path userDataPath;
};
Layout layoutFor(const std::filesystem::path& executableDir);

bool isRelease();
bool isWindows();

std::filesystem::path _joinAssetPath(const std::filesystem::path& first, const std::filesystem::path& rest = {},
                                     const std::filesystem::path& more = {});
std::filesystem::path getAssetPath(const std::string& filename);
std::filesystem::path getHtmlDir();
std::filesystem::path getUserDataPath();
// The user data folder joined with filename; creates the folder first. With no name, the folder with a
// trailing separator.
std::string getUserFilePath(const std::string& filename = "");
// Deletes a file of the user data folder; throws std::filesystem::filesystem_error when it cannot.
void removeUserFile(const std::string& filename);

}  // namespace quorvane
