#pragma once
// The whole configuration in one zip archive, and its checked restore: the configuration database, the
// calendar cache and every uploaded signal file, with a manifest of their MD5 digests. Credentials stay
// on the machine.
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/state_lock.h"
#include "model/db.h"

namespace quorvane {

inline constexpr const char* BACKUP_MANIFEST_NAME = "manifest.json";
// Names in the user data folder of what a restore holds while it runs (staged files, the upload).
inline constexpr const char* RESTORE_PREFIX = ".restore-";

struct BackupLimits {
    uint64_t maxTotalBytes = uint64_t{1} << 30;   // inflated, all entries together
    uint64_t maxFileBytes = uint64_t{100} << 20;  // inflated, per entry
    uint64_t maxEntries = 10000;
};

// What a backup holds, taken under the state lock; the archive is written after it is released.
struct BackupContent {
    std::string dbText;
    std::string cacheText;
    std::vector<std::string> signalFiles;  // uploaded files, by name in the user data folder
    // The program's version for the manifest; when empty it is worked out, which may start git.
    std::string version;
};
BackupContent backupContentOf(const StateLock& lock);

// Writes the archive; the signal files are read from the folder.
void writeBackupArchive(const std::filesystem::path& archive, const BackupContent& content, const std::filesystem::path& folder);

// Names the first problem of an archive; nothing has been changed.
class RestoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An archive that passed every check, its signal files extracted into a staging folder that is removed
// with this object.
class CheckedBackup {
public:
    CheckedBackup(DB database, Cache calendar, std::filesystem::path staging, std::vector<std::string> signalFiles);
    ~CheckedBackup();
    CheckedBackup(CheckedBackup&& other) noexcept;
    CheckedBackup(const CheckedBackup&) = delete;
    CheckedBackup& operator=(const CheckedBackup&) = delete;
    CheckedBackup& operator=(CheckedBackup&&) = delete;

    const DB& database() const { return _database; }
    const std::vector<std::string>& signalFiles() const { return _signalFiles; }

    // Moves the signal files into the folder (each replaced atomically), then replaces the records
    // under the state lock.
    void apply(const std::filesystem::path& folder);

private:
    DB _database;
    Cache _calendar;
    std::filesystem::path _staging;
    std::vector<std::string> _signalFiles;
};

// Reads and checks everything before anything changes: a readable archive, flat and plain entry names,
// a manifest, real inflated sizes within the limits, each file's MD5, a database that passes the load
// checks, every uploaded signal it names present. Signal files are staged in a new folder inside
// stagingParent (the user data folder, so that moving them into place is a rename).
CheckedBackup checkBackupArchive(const std::filesystem::path& archive, const std::filesystem::path& stagingParent, const BackupLimits& limits = {});

}  // namespace quorvane
