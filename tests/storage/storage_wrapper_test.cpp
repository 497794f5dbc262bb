#include "storage/storage_wrapper.h"

#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "model/db.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

class StorageWrapperTest : public ::testing::Test {
protected:
    std::string path(const std::string& name = "_db.json") const { return (_dir / name).string(); }
    void change(const std::function<void(DB&)>& edit) {
        StateLock lock;
        edit(_db.edit(lock));
    }
    DB content() {
        StateLock lock;
        return _db.view(lock);
    }
    size_t filesInFolder() const { return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(_dir.path()), {})); }

    TempDir _dir;
    StorageWrapper<DB> _db;
};

TEST_F(StorageWrapperTest, MissingFileLeavesTheDefaultAndTheFirstSaveCreatesIt) {
    EXPECT_FALSE(_db.load(path()));
    EXPECT_EQ(content(), DB{});
    EXPECT_EQ(_db.path(), path());
    _db.saveForce();
    EXPECT_EQ(readFile(path()), to_json(DB{}));
}

TEST_F(StorageWrapperTest, AutoSaveObservesFirstThenWritesChangesOnce) {
    writeFile(path(), to_json(DB{}));
    ASSERT_TRUE(_db.load(path()));
    std::filesystem::remove(path());
    EXPECT_FALSE(_db.saveAuto()) << "the first call only observes";
    EXPECT_FALSE(std::filesystem::exists(path()));
    change([](DB& db) { db.settings.schedulerEnable = false; });
    EXPECT_TRUE(_db.saveAuto());
    EXPECT_EQ(from_json<DB>(readFile(path())).settings.schedulerEnable, false);
    EXPECT_FALSE(_db.saveAuto());
}

TEST_F(StorageWrapperTest, AChangeUndoneBeforeTheNextPassIsNotWritten) {
    _db.load(path());
    _db.saveAuto();
    change([](DB& db) { db.settings.alarmDelaySec = 2.5; });
    change([](DB& db) { db.settings.alarmDelaySec = 0.0; });
    EXPECT_FALSE(_db.saveAuto());
    EXPECT_FALSE(std::filesystem::exists(path()));
}

TEST_F(StorageWrapperTest, ReadingWithoutChangingNeverWrites) {
    _db.load(path());
    _db.saveAuto();
    {
        StateLock lock;
        EXPECT_EQ(_db.view(lock).dbVersion, 1);
    }
    EXPECT_FALSE(_db.saveAuto());
}

TEST_F(StorageWrapperTest, SaveForceWritesEvenWhenNothingChanged) {
    _db.load(path());
    _db.saveAuto();
    _db.saveForce();
    EXPECT_TRUE(std::filesystem::exists(path()));
    EXPECT_FALSE(_db.saveAuto());
}

TEST_F(StorageWrapperTest, OtherVersionIsRefusedAndKeptOnDisk) {
    const std::string stored = R"({"dbVersion": 2, "settings": {"schedulerEnable": false}})";
    writeFile(path(), stored);
    EXPECT_FALSE(_db.load(path()));
    EXPECT_EQ(content(), DB{});
    EXPECT_EQ(readFile(path()), stored);
}

TEST_F(StorageWrapperTest, TruncatedFileIsAClearErrorThatNamesTheFile) {
    writeFile(path(), to_json(DB{}).substr(0, 40));
    try {
        _db.load(path());
        FAIL() << "no error";
    } catch (const StoredFileError& error) {
        EXPECT_EQ(std::string(error.what()).rfind(path() + ": not valid JSON", 0), 0u) << error.what();
    }
    EXPECT_EQ(content(), DB{});
}

TEST_F(StorageWrapperTest, ContentThatDoesNotDecodeChangesNothing) {
    writeFile(path(), R"({"dbVersion": 1, "settings": {"schedulerEnable": false, "calendar": {"workdayMode": 3}}})");
    EXPECT_THROW(_db.load(path()), StoredFileError);
    EXPECT_TRUE(content().settings.schedulerEnable);
}

TEST_F(StorageWrapperTest, LoadReplacesTheContentInPlace) {
    DB stored;
    stored.loadFactoryDefault();
    stored.settings.defaultTimetableId = "mine";
    writeFile(path(), to_json(stored));
    ASSERT_TRUE(_db.load(path()));
    EXPECT_EQ(content(), stored);
}

TEST_F(StorageWrapperTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
    writeFile(path(), "old content");
    _db.load((_dir / "missing-folder" / "_db.json").string());
    _db.saveAuto();
    change([](DB& db) { db.dbVersion = 1; });
    change([](DB& db) { db.settings.schedulerEnable = false; });
    EXPECT_THROW(_db.saveAuto(), std::system_error);
    EXPECT_EQ(filesInFolder(), 1u);
    // The same failure is tried again on the next pass.
    std::filesystem::create_directory(_dir / "missing-folder");
    EXPECT_TRUE(_db.saveAuto());
    EXPECT_EQ(readFile(path()), "old content");
}

TEST_F(StorageWrapperTest, ReplacementIsAtomic) {
    std::filesystem::create_directory(path());  // a folder where the file should be: the rename fails
    writeFile(std::filesystem::path(path()) / "inside", "x");
    _db.load(path());
    EXPECT_THROW(_db.saveForce(), std::system_error);
    EXPECT_EQ(filesInFolder(), 1u) << "no temporary file may be left behind";
    EXPECT_EQ(readFile(std::filesystem::path(path()) / "inside"), "x");
}

// A request's change is on disk when persist() returns; a change that a later completed write covers is
// not written again (concurrent requests share writes).
TEST_F(StorageWrapperTest, PersistWritesAtOnceUnlessALaterWriteCoversTheChange) {
    _db.load(path());
    _db.saveAuto();
    DurableChanges request;
    change([](DB& db) { db.settings.defaultTimetableId = "first"; });
    {
        DurableChanges other;  // another request, answered first: its write covers the first change too
        change([](DB& db) { db.settings.alarmSignalId = "second"; });
        other.persist();
    }
    const DB written = from_json<DB>(readFile(path()));
    EXPECT_EQ(written.settings.defaultTimetableId, "first");
    EXPECT_EQ(written.settings.alarmSignalId, "second");
    std::filesystem::remove(path());
    request.persist();
    EXPECT_FALSE(std::filesystem::exists(path())) << "already covered: no second write";

    change([](DB& db) { db.settings.schedulerEnable = false; });
    request.persist();
    EXPECT_FALSE(from_json<DB>(readFile(path())).settings.schedulerEnable);
    EXPECT_FALSE(_db.saveAuto()) << "the auto-save finds nothing left to write";
}

TEST_F(StorageWrapperTest, ChangesOutsideARequestAreLeftToTheAutoSave) {
    _db.load(path());
    _db.saveAuto();
    change([](DB& db) { db.settings.schedulerEnable = false; });
    DurableChanges request;
    request.persist();
    EXPECT_FALSE(std::filesystem::exists(path()));
    EXPECT_TRUE(_db.saveAuto());
}

// The auto-save's first look counts the content as saved without writing it; a request's change made
// before that look must still be written.
TEST_F(StorageWrapperTest, PersistWritesAChangeThatTheFirstAutoSaveOnlyObserved) {
    _db.load(path());
    DurableChanges request;
    change([](DB& db) { db.settings.defaultTimetableId = "early"; });
    EXPECT_FALSE(_db.saveAuto());
    request.persist();
    EXPECT_EQ(from_json<DB>(readFile(path())).settings.defaultTimetableId, "early");
}

TEST_F(StorageWrapperTest, PersistOfContentLoadedUnchangedWritesNothing) {
    writeFile(path(), to_json(DB{}));
    ASSERT_TRUE(_db.load(path()));
    std::filesystem::remove(path());
    DurableChanges request;
    change([](DB& db) { db.settings.schedulerEnable = true; });  // the value it had
    request.persist();
    EXPECT_FALSE(std::filesystem::exists(path()));
}

// A folder where the file should be: the rename of every write fails until it is removed.
void breakFile(const std::string& file) {
    std::filesystem::create_directory(file);
    writeFile(std::filesystem::path(file) / "inside", "x");
}

TEST_F(StorageWrapperTest, AFailedPersistTakesTheChangeBackForGood) {
    _db.load(path());
    _db.saveForce();
    const std::string original = readFile(path());
    std::filesystem::remove(path());
    breakFile(path());
    {
        DurableChanges request;
        change([](DB& db) { db.settings.schedulerEnable = false; });
        change([](DB& db) { db.timetables.add(TimeTable{}, "refused"); });
        EXPECT_THROW(request.persist(), SaveError);
        EXPECT_TRUE(content().settings.schedulerEnable) << "taken back at once";
        EXPECT_FALSE(content().timetables.contains("refused"));
    }
    std::filesystem::remove_all(path());
    writeFile(path(), original);
    _db.saveAuto();  // tries the failed write again: the content as before
    EXPECT_EQ(readFile(path()), original);
    EXPECT_FALSE(_db.saveAuto()) << "nothing left for the auto-save to write";
}

TEST_F(StorageWrapperTest, UndoKeepsTheChangesOfOthersAndOutsideRequests) {
    _db.load(path());
    _db.saveAuto();
    DurableChanges request;
    change([](DB& db) { db.settings.defaultTimetableId = "mine"; });
    {
        DurableChanges other;  // a later request, acknowledged
        change([](DB& db) { db.settings.alarmSignalId = "theirs"; });
        other.persist();
    }
    std::thread([&] { change([](DB& db) { db.settings.schedulerEnable = false; }); }).join();  // the scheduler's
    change([](DB& db) { db.settings.alarmDelaySec = 9; });                                     // this request's second section
    request.undo();
    EXPECT_EQ(content().settings.defaultTimetableId, DB{}.settings.defaultTimetableId);
    EXPECT_EQ(content().settings.alarmDelaySec, DB{}.settings.alarmDelaySec);
    EXPECT_EQ(content().settings.alarmSignalId, "theirs");
    EXPECT_FALSE(content().settings.schedulerEnable);
    // The other request's write carried this one's first change: the file is written again without it.
    const DB written = from_json<DB>(readFile(path()));
    EXPECT_EQ(written.settings.defaultTimetableId, DB{}.settings.defaultTimetableId);
    EXPECT_EQ(written.settings.alarmSignalId, "theirs");
}

// Another request's write carried this request's change; the write without it fails: said in the log,
// and the auto-save writes it later.
TEST_F(StorageWrapperTest, AFailedRewriteAfterAnUndoIsLoggedAndLeftToTheAutoSave) {
    _db.load(path());
    _db.saveAuto();
    DurableChanges request;
    change([](DB& db) { db.settings.defaultTimetableId = "mine"; });
    {
        DurableChanges other;
        change([](DB& db) { db.settings.alarmSignalId = "theirs"; });
        other.persist();
    }
    const std::string carried = readFile(path());
    std::filesystem::remove(path());
    breakFile(path());
    testing::LogCapture log;
    request.undo();
    EXPECT_TRUE(log.contains("Could not write " + path() + " again without a refused change: ")) << log.text();
    std::filesystem::remove_all(path());
    writeFile(path(), carried);
    EXPECT_TRUE(_db.saveAuto());
    const DB written = from_json<DB>(readFile(path()));
    EXPECT_EQ(written.settings.defaultTimetableId, DB{}.settings.defaultTimetableId);
    EXPECT_EQ(written.settings.alarmSignalId, "theirs");
}

// A request that changed two records and could write only the first takes back both, on disk too.
TEST_F(StorageWrapperTest, AFailureInOneRecordTakesBackTheRequestInEveryRecord) {
    StorageWrapper<DB> second;
    _db.load(path());
    second.load(path("second.json"));
    _db.saveForce();
    second.saveForce();
    const std::string firstOriginal = readFile(path()), secondOriginal = readFile(path("second.json"));
    std::filesystem::remove(path("second.json"));
    breakFile(path("second.json"));
    DurableChanges request;
    {
        StateLock lock;
        _db.edit(lock).settings.alarmSignalId = "both";
        second.edit(lock).settings.alarmSignalId = "both";
    }
    EXPECT_THROW(request.persist(), SaveError);
    EXPECT_EQ(content().settings.alarmSignalId, DB{}.settings.alarmSignalId);
    EXPECT_EQ(readFile(path()), firstOriginal) << "written, then written again without the change";
    {
        StateLock lock;
        EXPECT_EQ(second.view(lock).settings.alarmSignalId, DB{}.settings.alarmSignalId);
    }
    std::filesystem::remove_all(path("second.json"));
    writeFile(path("second.json"), secondOriginal);
    second.saveAuto();
    EXPECT_EQ(readFile(path("second.json")), secondOriginal);
}

TEST_F(StorageWrapperTest, EveryWriteIsLoggedWithTheWrappersLine) {
    StorageWrapper<DB> logged(SHARED_FILE_MODE, "Test record written");
    logged.load(path());
    testing::LogCapture log;
    {
        DurableChanges request;
        {
            StateLock lock;
            logged.edit(lock).settings.alarmSignalId = "x";
        }
        request.persist();
    }
    EXPECT_TRUE(log.contains("Test record written"));
    log.clear();
    logged.saveForce();
    EXPECT_TRUE(log.contains("Test record written"));
    log.clear();
    EXPECT_FALSE(logged.saveAuto());
    EXPECT_FALSE(log.contains("Test record written")) << "nothing written, nothing logged";
}

TEST_F(StorageWrapperTest, NewFilesGetTheWrappersModeAndReplacedFilesKeepTheirs) {
    namespace fs = std::filesystem;
    _db.load(path());
    _db.saveForce();
    EXPECT_EQ(fs::status(path()).permissions(), fs::perms(0644));
    fs::permissions(path(), fs::perms(0640));
    _db.saveForce();
    EXPECT_EQ(fs::status(path()).permissions(), fs::perms(0640));

    StorageWrapper<DB> secret(PRIVATE_FILE_MODE);
    secret.load(path("_secret.json"));
    secret.saveForce();
    EXPECT_EQ(fs::status(path("_secret.json")).permissions(), fs::perms(0600));
}

TEST_F(StorageWrapperTest, StoredNumbersOutOfBoundsAreRepairedAndReported) {
    DB stored;
    stored.loadFactoryDefault();
    stored.timetables.find(FACTORY_DEFAULT_TIMETABLE_ID)->chB.preEnd.iterations = 1000;
    std::string text = to_json(stored);
    text.replace(text.find(R"("alarmDelaySec": 0.0)"), 20, R"("alarmDelaySec": -Infinity)");
    writeFile(path(), text);
    Repairs repairs;
    ASSERT_TRUE(_db.load(path(), &repairs));
    EXPECT_EQ(repairs, (Repairs{"settings.alarmDelaySec: -Infinity replaced by 0 (expected a number from 0 to 3600)",
                                "timetables.ID_factory_default_timetable.chB.preEnd.iterations: 1000 replaced by 100 "
                                "(expected an integer from 1 to 100)"}));
    EXPECT_EQ(content().timetables.find(FACTORY_DEFAULT_TIMETABLE_ID)->chB.preEnd.iterations, 100);
    // The file still holds the old numbers: the first change writes the repaired record.
    DurableChanges request;
    change([](DB& db) { db.settings.schedulerEnable = false; });
    request.persist();
    EXPECT_EQ(readFile(path()).find("Infinity"), std::string::npos);
    EXPECT_EQ(from_json<DB>(readFile(path())).timetables.find(FACTORY_DEFAULT_TIMETABLE_ID)->chB.preEnd.iterations, 100);
}

TEST_F(StorageWrapperTest, SavingUnderTheStateLockFails) {
    _db.load(path());
    StateLock lock;
    EXPECT_THROW(_db.persist(), std::logic_error) << "a write would stall every request and the bells";
    EXPECT_THROW(_db.saveAuto(), std::logic_error);
}

TEST_F(StorageWrapperTest, AccessWithoutTheStateLockFails) {
    // The type proves a lock was taken; the run-time net catches a lock that another thread holds.
    std::promise<const StateLock*> taken;
    std::promise<void> done;
    std::thread holder([&] {
        StateLock lock;
        taken.set_value(&lock);
        done.get_future().wait();
    });
    const StateLock& othersLock = *taken.get_future().get();
    EXPECT_THROW(_db.view(othersLock), std::logic_error);
    EXPECT_THROW(_db.edit(othersLock).dbVersion, std::logic_error);
    done.set_value();
    holder.join();
}

}  // namespace
}  // namespace quorvane
