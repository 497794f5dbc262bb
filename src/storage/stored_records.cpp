#include "storage/stored_records.h"

#include <spdlog/spdlog.h>

#include "core/paths.h"

namespace quorvane {

// Created when the program is loaded, in this order, with default content; nothing is read yet.
StorageWrapper<Cache> cache;
StorageWrapper<DB> db;
StorageWrapper<Shadow> shadow;

void loadStoredRecords() {
    if (!db.load(getUserFilePath(DB_FILE_NAME))) {
        spdlog::info("Falling back to factory default config");
        StateLock lock;
        db.edit(lock).loadFactoryDefault();
    }
    shadow.load(getUserFilePath(SHADOW_FILE_NAME));
    cache.load(getUserFilePath(CACHE_FILE_NAME));
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
