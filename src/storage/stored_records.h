#pragma once
// The three stored root records of the process and their files in the user data folder.
#include "model/db.h"
#include "storage/shadow.h"
#include "storage/storage_wrapper.h"

namespace quorvane {

extern StorageWrapper<Cache> cache;
extern StorageWrapper<DB> db;
extern StorageWrapper<Shadow> shadow;

inline constexpr const char* DB_FILE_NAME = "_db.json";
inline constexpr const char* SHADOW_FILE_NAME = "_shadow.json";
inline constexpr const char* CACHE_FILE_NAME = "cache.json";

// Start-up steps: temporary files of interrupted saves are removed, then the database (factory content
// when there is no usable file), the credentials and the calendar cache are loaded. A database or
// credentials file that exists but does not decode throws StoredFileError; such a cache file is moved
// aside (cache.json.bad-<time>) with a warning, and the cache starts empty.
void loadStoredRecords();

// The session signing key: the credentials salt. A salt created here is written at once, so cookies
// signed with it survive a restart.
std::string sessionSigningKey();

}  // namespace quorvane
