#include "web/backup_endpoints.h"

#include <mutex>

#include <spdlog/spdlog.h>

#include "core/clock.h"
#include "core/file_io.h"
#include "core/paths.h"
#include "core/version.h"
#include "model/file_name.h"
#include "model/uuid.h"
#include "storage/backup_archive.h"
#include "storage/stored_records.h"

namespace quorvane::web {
namespace fs = std::filesystem;
namespace {

// A file of the user data folder that is removed whatever happens.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& prefix) : _path(getUserFilePath(prefix + randomHex(8) + ".zip")) {}
    ~ScratchFile() {
        std::error_code ignored;
        fs::remove(_path, ignored);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const fs::path& path() const { return _path; }

private:
    fs::path _path;
};

// One restore at a time: each replaces everything, and each clears what an interrupted one left.
std::mutex restoring;

void removeLeftoversOfRestores(const fs::path& folder) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        if (entry.path().filename().string().rfind(RESTORE_PREFIX, 0) == 0) fs::remove_all(entry.path(), ignored);
}

}  // namespace

Reply get_backup(RequestContext&) {
    BackupContent content;
    std::string playerName;
    {
        StateLock lock;
        content = backupContentOf(lock);
        playerName = db.view(lock).settings.playerName;
    }
    content.version = versionText();  // worked out once: a backup never waits for a child process
    const ScratchFile archive(".backup-");
    writeBackupArchive(archive.path(), content, getUserDataPath());
    auto bytes = readWholeFile(archive.path());
    if (!bytes) return internalError();
    // Sent from memory: the scratch file is gone once the handler returns.
    Reply reply;
    reply.contentType = "application/zip";
    reply.body = std::move(*bytes);
    // A district keeps the backups of many players side by side: the name tells them apart.
    const std::string named = fileNamePart(playerName);
    reply.headers.emplace_back("Content-Disposition",
                               "attachment; filename=\"quorvane-backup-" + (named.empty() ? "" : named + "-") + getDateString() + ".zip\"");
    return reply;
}

Reply restore_backup(RequestContext& context) {
    const std::unique_lock only(restoring, std::try_to_lock);
    if (!only.owns_lock()) return BadRequest("Another restore is running");
    removeLeftoversOfRestores(getUserDataPath());
    // Spooled to the user data folder by the frame, removed with the request.
    const http::Part* part = context.part("file");
    if (!part || !part->file) return BadRequest("No file part");
    try {
        CheckedBackup checked = checkBackupArchive(part->file->temporaryPath, getUserDataPath());
        checked.apply(getUserDataPath());
    } catch (const RestoreError& error) {
        return BadRequest(error.what());
    }
    spdlog::info("Configuration restored from a backup");
    return json_response(true);
}

}  // namespace quorvane::web
