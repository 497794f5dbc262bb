#include "storage/stored_records.h"

#include <ctime>
#include <filesystem>

#include <spdlog/spdlog.h>

#include "core/paths.h"
#include "core/utf8_path.h"
#include "model/tm_conversions.h"

namespace quorvane {
namespace {

// Local time as 20240902-074500, for the names of files moved aside.
std::string fileTimeStamp() {
    const std::time_t now = std::time(nullptr);
    const std::tm local = localTmOf(now);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

template <class R>
bool loadReporting(StorageWrapper<R>& wrapper, const char* fileName) {
    Repairs repairs;
    const bool loaded = wrapper.load(getUserFilePath(fileName), &repairs);
    for (const std::string& repair : repairs) spdlog::warn("{}: stored value out of bounds: {}", fileName, repair);
    return loaded;
}

// The cache is only a copy of the remote registry: a file that does not load is moved aside, and the next
// synchronisation downloads the registry again.
void loadCache() {
    try {
        loadReporting(cache, CACHE_FILE_NAME);
    } catch (const StoredFileError& error) {
        const std::filesystem::path path = pathFromUtf8(getUserFilePath(CACHE_FILE_NAME));
        std::filesystem::path aside = path;
        aside += ".bad-" + fileTimeStamp();
        std::error_code renameError;
        std::filesystem::rename(path, aside, renameError);
        if (renameError) spdlog::warn("{}; starting with an empty cache (it could not be moved aside: {})", error.what(), renameError.message());
        else spdlog::warn("{}; moved to {}, starting with an empty cache", error.what(), utf8Of(aside.filename()));
    }
}

}  // namespace

// Created when the program is loaded, in this order, with default content; nothing is read yet.
StorageWrapper<Cache> cache(SHARED_FILE_MODE, "Cache saved");
StorageWrapper<DB> db(SHARED_FILE_MODE, "DB saved to disk");
StorageWrapper<Shadow> shadow(PRIVATE_FILE_MODE, "Shadow updated");

void loadStoredRecords() {
    for (const std::string& name : removeStaleTemporaryFiles(pathFromUtf8(getUserFilePath())))
        spdlog::info("Removed {}, left by an interrupted save", name);
    if (!loadReporting(db, DB_FILE_NAME)) {
        spdlog::info("Falling back to factory default config");
        StateLock lock;
        db.edit(lock).loadFactoryDefault();
    }
    loadReporting(shadow, SHADOW_FILE_NAME);
    loadCache();
}

std::string sessionSigningKey() {
    std::string salt;
    bool created = false;
    {
        StateLock lock;
        const Shadow& stored = shadow.view(lock);
        created = !stored._salt || stored._salt->empty();
        salt = created ? shadow.edit(lock).getCurrentSalt() : *stored._salt;
    }
    if (created) shadow.saveForce();
    return salt;
}

}  // namespace quorvane
