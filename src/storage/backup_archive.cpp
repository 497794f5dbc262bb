#include "storage/backup_archive.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include <zip.h>

#include "core/atomic_file.h"
#include "core/file_io.h"
#include "core/utf8_path.h"
#include "core/version.h"
#include "model/digest.h"
#include "model/json_text.h"
#include "model/time_values.h"
#include "model/uuid.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace fs = std::filesystem;
namespace {

constexpr uint64_t MAX_MANIFEST_BYTES = 1 << 20;
constexpr size_t MAX_ENTRY_NAME = 128;
// Files of the user data folder that a signal never is.
const std::set<std::string> RESERVED_NAMES = {BACKUP_MANIFEST_NAME, DB_FILE_NAME, CACHE_FILE_NAME, SHADOW_FILE_NAME, "announcement.mp3"};

struct ZipCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipCloser>;

// Flat names of plain characters: no folders, no "..", nothing a file system reads specially.
bool isPlainEntryName(const std::string& name) {
    if (name.empty() || name.size() > MAX_ENTRY_NAME || name.front() == '.' || name.find("..") != std::string::npos) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    });
}

std::string errorText(zip_t* archive) { return zip_strerror(archive); }

// Inflates one entry, counting the real bytes against the limits whatever its header says.
std::string inflate(zip_t* archive, zip_uint64_t index, const std::string& name, uint64_t maxBytes, uint64_t& totalLeft) {
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(archive, index, 0));
    if (!file) throw RestoreError("Cannot read " + name + ": " + errorText(archive));
    std::string bytes;
    char buffer[1 << 16];
    while (true) {
        const zip_int64_t count = zip_fread(file.get(), buffer, sizeof buffer);
        if (count < 0) throw RestoreError("Cannot read " + name + ": " + zip_file_strerror(file.get()));
        if (count == 0) break;
        const auto size = static_cast<uint64_t>(count);
        if (bytes.size() + size > maxBytes) throw RestoreError("File too large: " + name);
        if (size > totalLeft) throw RestoreError("Archive too large when unpacked");
        totalLeft -= size;
        bytes.append(buffer, size);
    }
    return bytes;
}

void addBuffer(zip_t* archive, const std::string& name, const std::string& bytes) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
        if (source) zip_source_free(source);
        throw std::runtime_error("Cannot add " + name + " to the backup: " + errorText(archive));
    }
}

}  // namespace

BackupContent backupContentOf(const StateLock& lock) {
    BackupContent content;
    content.dbText = to_json(db.view(lock));
    content.cacheText = to_json(cache.view(lock));
    std::set<std::string> seen;
    for (const auto& [id, signal] : db.view(lock).signals)
        if (signal.storageCategory == StorageCategory::PERSISTENT && seen.insert(signal.filename).second)
            content.signalFiles.push_back(signal.filename);
    return content;
}

void writeBackupArchive(const fs::path& archivePath, const BackupContent& content, const fs::path& folder) {
    // Every file is read here, so the manifest holds the digests of exactly what is stored.
    std::map<std::string, std::string> files{{DB_FILE_NAME, content.dbText}, {CACHE_FILE_NAME, content.cacheText}};
    for (const std::string& name : content.signalFiles) {
        if (!isPlainEntryName(name)) continue;  // never stored by this program
        if (auto bytes = readWholeFile(folder / name)) files.emplace(name, std::move(*bytes));
    }
    Json manifest = Json::object();
    manifest["program"] = "Quorvane Player";
    manifest["version"] = content.version.empty() ? getVersion() : content.version;
    manifest["created"] = MyDateTime::encode(MyDateTime());
    manifest["files"] = Json::object();
    for (const auto& [name, bytes] : files) manifest["files"][name] = md5Hex(bytes);
    const std::string manifestText = toJsonText(manifest);

    int error = 0;
    ZipArchive archive(zip_open(utf8Of(archivePath).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    if (!archive) throw std::runtime_error("Cannot create the backup archive");
    addBuffer(archive.get(), BACKUP_MANIFEST_NAME, manifestText);
    for (const auto& [name, bytes] : files) addBuffer(archive.get(), name, bytes);
    if (zip_close(archive.get()) < 0) throw std::runtime_error("Cannot write the backup archive: " + errorText(archive.get()));
    (void)archive.release();
}

CheckedBackup checkBackupArchive(const fs::path& archivePath, const fs::path& stagingParent, const BackupLimits& limits) {
    int error = 0;
    ZipArchive archive(zip_open(utf8Of(archivePath).c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!archive) throw RestoreError("Not a readable zip archive");

    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0 || static_cast<uint64_t>(count) > limits.maxEntries) throw RestoreError("Too many entries in the archive");
    std::map<std::string, zip_uint64_t> entries;
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        const char* raw = zip_get_name(archive.get(), i, ZIP_FL_ENC_RAW);
        const std::string name = raw ? raw : "";
        if (!isPlainEntryName(name)) throw RestoreError("Entry name not allowed: " + name);
        if (!entries.emplace(name, i).second) throw RestoreError("Entry twice in the archive: " + name);
    }

    uint64_t totalLeft = limits.maxTotalBytes;
    const auto read = [&](const std::string& name, uint64_t maxBytes) {
        const auto entry = entries.find(name);
        if (entry == entries.end()) throw RestoreError("Missing from the archive: " + name);
        return inflate(archive.get(), entry->second, name, maxBytes, totalLeft);
    };

    Json manifest;
    try {
        manifest = parseJson(read(BACKUP_MANIFEST_NAME, MAX_MANIFEST_BYTES));
    } catch (const RestoreError&) {
        throw;
    } catch (const std::exception&) {
        throw RestoreError("The manifest is not JSON");
    }
    if (!manifest.is_object() || !manifest.contains("files") || !manifest["files"].is_object()) throw RestoreError("The manifest lists no files");
    const Json& digests = manifest["files"];
    for (const auto& [name, index] : entries)
        if (name != BACKUP_MANIFEST_NAME && !digests.contains(name)) throw RestoreError("Entry not in the manifest: " + name);
    for (const auto& [name, digest] : digests.items())
        if (!entries.contains(name)) throw RestoreError("Missing from the archive: " + name);
    // Reads an entry the manifest lists and checks its digest.
    const auto checked = [&](const std::string& name) {
        if (!digests.contains(name) || !digests[name].is_string()) throw RestoreError("Not in the manifest: " + name);
        std::string bytes = read(name, limits.maxFileBytes);
        if (md5Hex(bytes) != digests[name].get<std::string>()) throw RestoreError("Wrong MD5: " + name);
        return bytes;
    };

    DB database;
    Cache calendar;
    try {
        const Json stored = parseJson(checked(DB_FILE_NAME));
        if (!DB::checkAfterLoad(stored)) throw RestoreError("The database is of another version");
        database = from_dict<DB>(stored);
        calendar = from_dict<Cache>(parseJson(checked(CACHE_FILE_NAME)));
    } catch (const RestoreError&) {
        throw;
    } catch (const std::exception& problem) {
        throw RestoreError(std::string("The database or calendar does not decode: ") + problem.what());
    }

    std::vector<std::string> signalFiles;
    for (const auto& [id, signal] : database.signals) {
        if (signal.storageCategory != StorageCategory::PERSISTENT) continue;
        if (RESERVED_NAMES.contains(signal.filename)) throw RestoreError("Signal file name not allowed: " + signal.filename);
        if (!entries.contains(signal.filename)) throw RestoreError("Missing signal file: " + signal.filename + " (" + signal.name + ")");
        if (std::find(signalFiles.begin(), signalFiles.end(), signal.filename) == signalFiles.end()) signalFiles.push_back(signal.filename);
    }
    // Only the files the restored database plays reach the user data folder.
    for (const auto& [name, index] : entries)
        if (name != BACKUP_MANIFEST_NAME && name != DB_FILE_NAME && name != CACHE_FILE_NAME &&
            std::find(signalFiles.begin(), signalFiles.end(), name) == signalFiles.end())
            throw RestoreError("Entry not named by the database: " + name);

    const fs::path staging = stagingParent / (RESTORE_PREFIX + randomHex(8));
    fs::create_directories(staging);
    // Owns the staging folder from here on: a failure below removes it.
    CheckedBackup backup(std::move(database), std::move(calendar), staging, signalFiles);
    for (const std::string& name : signalFiles) writeFileAtomically(staging / name, checked(name));
    return backup;
}

CheckedBackup::CheckedBackup(DB database, Cache calendar, fs::path staging, std::vector<std::string> signalFiles)
    : _database(std::move(database)), _calendar(std::move(calendar)), _staging(std::move(staging)), _signalFiles(std::move(signalFiles)) {}

CheckedBackup::CheckedBackup(CheckedBackup&& other) noexcept
    : _database(std::move(other._database)),
      _calendar(std::move(other._calendar)),
      _staging(std::exchange(other._staging, {})),
      _signalFiles(std::move(other._signalFiles)) {}

CheckedBackup::~CheckedBackup() {
    if (_staging.empty()) return;
    std::error_code ignored;
    fs::remove_all(_staging, ignored);
}

void CheckedBackup::apply(const fs::path& folder) {
    for (const std::string& name : _signalFiles) fs::rename(_staging / name, folder / name);
    StateLock lock;
    db.edit(lock) = _database;
    cache.edit(lock) = _calendar;
}

}  // namespace quorvane
