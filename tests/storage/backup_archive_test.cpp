#include "storage/backup_archive.h"

#include <map>

#include <gtest/gtest.h>
#include <zip.h>

#include "core/utf8_path.h"
#include "model/digest.h"
#include "storage/stored_records.h"
#include "support/stored_records_reset.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

// Writes a zip of the entries as they are given, names unchecked.
void writeZip(const fs::path& path, const std::map<std::string, std::string>& entries) {
    int error = 0;
    zip_t* archive = zip_open(utf8Of(path).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, 0), 0) << name;
    }
    ASSERT_EQ(zip_close(archive), 0);
}

// The entries of a good backup, with a manifest of their digests.
std::map<std::string, std::string> withManifest(std::map<std::string, std::string> files) {
    Json manifest = {{"program", "Quorvane Player"}, {"files", Json::object()}};
    for (const auto& [name, bytes] : files) manifest["files"][name] = md5Hex(bytes);
    files[BACKUP_MANIFEST_NAME] = toJsonText(manifest);
    return files;
}

class BackupArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::resetStoredRecords();
        database.loadFactoryDefault();
        AudioAsset uploaded;
        uploaded.name = "school song";
        uploaded.filename = md5Hex(song) + ".mp3";
        database.signals.add(uploaded, md5Hex(song));
        database.settings.plannedDays = {{"2030-01-07", NULL_ID}};
        CalendarRegion region;
        region.holidays = {"2030-01-01"};
        calendar.calendarRegions.add(region, "hu");
    }
    std::map<std::string, std::string> goodFiles() const {
        return {{DB_FILE_NAME, to_json(database)}, {CACHE_FILE_NAME, to_json(calendar)}, {md5Hex(song) + ".mp3", song}};
    }
    // The message of the refusal, with the staging folder checked to be gone.
    std::string refusal(const std::map<std::string, std::string>& entries, const BackupLimits& limits = {}) {
        writeZip(dir / "backup.zip", entries);
        return refusalOfFile(dir / "backup.zip", limits);
    }
    std::string refusalOfFile(const fs::path& archive, const BackupLimits& limits = {}) {
        try {
            checkBackupArchive(archive, staging.path(), limits);
        } catch (const RestoreError& error) {
            EXPECT_TRUE(fs::is_empty(staging.path())) << "staged files left behind";
            return error.what();
        }
        return "accepted";
    }

    const std::string song = std::string("ID3") + std::string(5000, '\x7f');
    DB database;
    Cache calendar;
    TempDir dir, staging;
};

TEST_F(BackupArchiveTest, BackupThenRestoreGivesTheSameRecordsAndFiles) {
    {
        StateLock lock;
        db.edit(lock) = database;
        cache.edit(lock) = calendar;
    }
    TempDir source, target;
    writeFile(source / (md5Hex(song) + ".mp3"), song);
    BackupContent content;
    {
        StateLock lock;
        content = backupContentOf(lock);
    }
    EXPECT_EQ(content.signalFiles, std::vector<std::string>{md5Hex(song) + ".mp3"}) << "factory signals are not copied";
    writeBackupArchive(dir / "backup.zip", content, source.path());

    testing::resetStoredRecords();
    CheckedBackup checked = checkBackupArchive(dir / "backup.zip", staging.path());
    {
        StateLock lock;
        EXPECT_EQ(to_json(db.view(lock)), to_json(DB{})) << "checking changes nothing";
    }
    checked.apply(target.path());
    EXPECT_EQ(readFile(target / (md5Hex(song) + ".mp3")), song);
    StateLock lock;
    EXPECT_EQ(to_json(db.view(lock)), content.dbText);
    EXPECT_EQ(to_json(cache.view(lock)), content.cacheText);
}

TEST_F(BackupArchiveTest, TheManifestNamesVersionAndDigestsAndNoCredentials) {
    TempDir source;
    writeFile(source / (md5Hex(song) + ".mp3"), song);
    writeFile(source / "_shadow.json", "secret");
    BackupContent content{to_json(database), to_json(calendar), {md5Hex(song) + ".mp3"}};
    writeBackupArchive(dir / "backup.zip", content, source.path());
    int error = 0;
    zip_t* archive = zip_open(utf8Of(dir / "backup.zip").c_str(), ZIP_RDONLY, &error);
    ASSERT_NE(archive, nullptr);
    std::vector<std::string> names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) names.push_back(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0));
    zip_discard(archive);
    EXPECT_EQ(names, (std::vector<std::string>{"manifest.json", "_db.json", "cache.json", md5Hex(song) + ".mp3"}));
    const CheckedBackup checked = checkBackupArchive(dir / "backup.zip", staging.path());
    EXPECT_EQ(to_json(checked.database()), content.dbText);
}

TEST_F(BackupArchiveTest, EveryKindOfBadArchiveIsRefusedByName) {
    writeFile(dir / "truncated.zip", "");
    writeZip(dir / "good.zip", withManifest(goodFiles()));
    const std::string whole = readFile(dir / "good.zip");
    writeFile(dir / "truncated.zip", whole.substr(0, whole.size() / 2));
    EXPECT_EQ(refusalOfFile(dir / "truncated.zip"), "Not a readable zip archive");
    writeFile(dir / "text.zip", "not a zip at all");
    EXPECT_EQ(refusalOfFile(dir / "text.zip"), "Not a readable zip archive");
    EXPECT_EQ(refusalOfFile(dir / "good.zip"), "accepted");

    auto files = goodFiles();
    EXPECT_EQ(refusal(files), "Missing from the archive: manifest.json");

    auto wrongDigest = withManifest(files);
    wrongDigest[md5Hex(song) + ".mp3"] = song + "x";
    EXPECT_EQ(refusal(wrongDigest), "Wrong MD5: " + md5Hex(song) + ".mp3");

    auto missingSignal = files;
    missingSignal.erase(md5Hex(song) + ".mp3");
    EXPECT_EQ(refusal(withManifest(missingSignal)), "Missing signal file: " + md5Hex(song) + ".mp3 (school song)");

    for (const std::string name : {"../evil.mp3", "/etc/evil", "sub/evil.mp3", "..", ".hidden", "a b.mp3", "evil\\x.mp3"}) {
        auto withBadName = withManifest(files);
        withBadName[name] = "x";
        EXPECT_EQ(refusal(withBadName), "Entry name not allowed: " + name);
    }

    auto undecodable = files;
    undecodable[DB_FILE_NAME] = R"({"dbVersion": 1, "settings": {"calendar": {"workdayMode": 99}}})";
    EXPECT_EQ(refusal(withManifest(undecodable)).rfind("The database or calendar does not decode: ", 0), 0u);
    auto notJson = files;
    notJson[DB_FILE_NAME] = "{\"dbVersion\": 1,";
    EXPECT_EQ(refusal(withManifest(notJson)).rfind("The database or calendar does not decode: ", 0), 0u);
    auto otherVersion = files;
    otherVersion[DB_FILE_NAME] = R"({"dbVersion": 2})";
    EXPECT_EQ(refusal(withManifest(otherVersion)), "The database is of another version");

    auto unlisted = withManifest(files);
    unlisted["extra.mp3"] = "{}";
    EXPECT_EQ(refusal(unlisted), "Entry not in the manifest: extra.mp3");
    auto unnamed = files;
    unnamed["extra.mp3"] = "x";
    EXPECT_EQ(refusal(withManifest(unnamed)), "Entry not named by the database: extra.mp3");
    auto credentials = files;
    credentials["_shadow.json"] = "{}";
    EXPECT_EQ(refusal(withManifest(credentials)), "Entry not named by the database: _shadow.json");

    // A database naming a record file as a signal cannot smuggle it into the data folder.
    DB sneaky = database;
    AudioAsset shadowAsSignal;
    shadowAsSignal.filename = "_shadow.json";
    sneaky.signals.add(shadowAsSignal, "sneaky");
    auto smuggled = files;
    smuggled[DB_FILE_NAME] = to_json(sneaky);
    smuggled["_shadow.json"] = "{}";
    EXPECT_EQ(refusal(withManifest(smuggled)), "Signal file name not allowed: _shadow.json");
}

TEST_F(BackupArchiveTest, ZerosThatInflateBeyondTheLimitsAreStoppedWhileReading) {
    AudioAsset zeros;
    zeros.filename = "zeros.mp3";
    database.signals.add(zeros, "zeros");
    auto files = goodFiles();
    files["zeros.mp3"] = std::string((100u << 20) + 1, '\0');  // compresses to about 100 KiB
    EXPECT_EQ(refusal(withManifest(files)), "File too large: zeros.mp3");

    // The total counts every entry inflated so far, signal files included.
    database.signals.remove("zeros");
    BackupLimits limits;
    limits.maxTotalBytes = to_json(database).size() + to_json(calendar).size() + 2000;
    EXPECT_EQ(refusal(withManifest(goodFiles()), limits), "Archive too large when unpacked");
}

}  // namespace
}  // namespace quorvane
