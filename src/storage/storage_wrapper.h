#pragma once
// StorageWrapper: owns one root record (DB, Cache or Shadow) for the life of the process, loads it from
// its file at start-up and writes it back: at once when a request persists its change (see
// durable_changes.h), and on the scheduler's auto-save for everything else.
//
// Access follows the locking rule (core/state_lock.h): `wrapper.view(lock)` gives the record for
// reading, `wrapper.edit(lock)` for changing; the StateLock argument proves that the caller holds the
// lock, and a run-time check stays as a second net. Every edit advances the record's generation, so a
// pass in which nobody changed it costs nothing, and a request can tell whether a write already covers
// its change. Whether the content really changed is decided by the fingerprint, so a change undone
// before the next auto-save is not written.
#include <algorithm>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "core/read_file.h"
#include "core/state_lock.h"
#include "model/record.h"
#include "core/atomic_file.h"
#include "core/utf8_path.h"
#include "storage/durable_changes.h"

namespace quorvane {

// A stored file that exists but cannot be used; the text names the file and the reason.
class StoredFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

template <Record R>
class StorageWrapper final : public DurableRecord {
public:
    explicit StorageWrapper(std::filesystem::perms newFileMode = SHARED_FILE_MODE) : _newFileMode(newFileMode) {}
    StorageWrapper(const StorageWrapper&) = delete;
    StorageWrapper& operator=(const StorageWrapper&) = delete;

    R& edit(const StateLock&) {
        requireStateLock();
        DurableChanges::noteChange(*this, ++_generation);
        return _wrapped;
    }
    const R& view(const StateLock&) const {
        requireStateLock();
        return _wrapped;
    }

    // Reads the file into the record. False when the file cannot be read or the record type refuses it;
    // StoredFileError when it is not JSON or does not decode. The record is replaced only by a completely
    // decoded one. Numbers out of their bounds (written by an older version) are brought into them, and
    // each repair is noted in repairs when given. Takes the state lock itself.
    bool load(const std::string& path, Repairs* repairs = nullptr) {
        const auto saving = lockForSaving();
        _path = path;
        const std::optional<std::string> text = readWholeFile(pathFromUtf8(path));
        if (!text) return false;
        R loaded;
        Repairs notes;
        try {
            const Json parsed = parseStoredJson(*text);
            if (!R::checkAfterLoad(parsed)) return false;
            loaded = from_dict<R>(parsed, &notes);
        } catch (const std::exception& error) {
            throw StoredFileError(path + ": " + error.what());
        }
        StateLock lock;
        edit(lock) = std::move(loaded);
        // A repaired record differs from its file; the first change writes it whole.
        if (notes.empty()) markWritten(lock);
        if (repairs) *repairs = std::move(notes);
        return true;
    }

    // Writes the record now. Takes the state lock itself, only while taking the text.
    void saveForce() {
        const auto saving = lockForSaving();
        const Snapshot snapshot = takeSnapshot(true);
        write(snapshot);
    }

    // Writes the record when its content changed since the last write; true when it wrote. The first
    // call only records the content as saved. Takes the state lock itself.
    bool saveAuto() {
        const auto saving = lockForSaving();
        Snapshot snapshot;
        {
            StateLock lock;
            if (_hash && _autoSaveLookedAt == _generation) return false;
            _autoSaveLookedAt = _generation;
            const Fingerprint current = fingerprint(_wrapped);
            if (!_hash) {
                _hash = current;
                return false;
            }
            if (*_hash == current) return false;
            snapshot = Snapshot{to_json(_wrapped), current, _generation};
        }
        write(snapshot);
        return true;
    }

    // Group commit: returns at once when a write that completed after the change of the given generation
    // covers it; otherwise writes the current content (covering every change made so far).
    void persistThrough(Generation generation) override {
        const auto saving = lockForSaving();
        if (_writtenThrough >= generation) return;
        const Snapshot snapshot = takeSnapshot(false);
        if (snapshot.text.empty()) return;
        try {
            write(snapshot);
        } catch (const std::exception& error) {
            throw SaveError(error.what());
        }
    }

    // Makes every change made so far durable; SaveError when the write fails.
    void persist() {
        requireNoStateLock();
        Generation current;
        {
            StateLock lock;
            current = _generation;
        }
        persistThrough(current);
    }

    std::optional<std::string> path() const {
        const auto saving = lockForSaving();
        return _path;
    }

private:
    struct Snapshot {
        std::string text;  // empty: the file already holds this content
        Fingerprint content = 0;
        Generation generation = 0;
    };

    // Every load and save goes through here. Writes wait for the disk: under the state lock they would stall
    // every request and the bells, so the save lock is never taken while the state lock is held.
    static void requireNoStateLock() {
        if (StateLock::heldByThisThread()) throw std::logic_error("stored records are loaded and saved without the state lock");
    }
    std::unique_lock<std::mutex> lockForSaving() const {
        requireNoStateLock();
        return std::unique_lock(_saveMutex);
    }

    // Under the state lock; with force, the text is taken even when the file already holds the content.
    Snapshot takeSnapshot(bool force) {
        StateLock lock;
        Snapshot snapshot{"", fingerprint(_wrapped), _generation};
        if (!force && _onDisk == snapshot.content) _writtenThrough = snapshot.generation;
        else snapshot.text = to_json(_wrapped);
        return snapshot;
    }

    // The content in memory is the content of the file (just loaded).
    void markWritten(const StateLock&) {
        _onDisk = fingerprint(_wrapped);
        _writtenThrough = _generation;
    }

    // With _saveMutex held and the state lock released: the file write never blocks the records.
    void write(const Snapshot& snapshot) {
        if (!_path) throw std::runtime_error("no file to save to");
        try {
            writeFileAtomically(pathFromUtf8(*_path), snapshot.text, _newFileMode);
        } catch (...) {
            _autoSaveLookedAt.reset();  // so that the next auto-save tries again
            throw;
        }
        _hash = _onDisk = snapshot.content;
        _writtenThrough = std::max(_writtenThrough, snapshot.generation);
    }

    R _wrapped;
    const std::filesystem::perms _newFileMode;
    // Advanced by every edit; guarded by the state lock.
    Generation _generation = 0;
    // The rest is guarded by _saveMutex, which also keeps two writes of the same file apart.
    mutable std::mutex _saveMutex;
    std::optional<std::string> _path;
    // The auto-save's baseline: the content as last written or, before that, as first observed.
    std::optional<Fingerprint> _hash;
    // The content that the file is known to hold (loaded or written); absent when unknown.
    std::optional<Fingerprint> _onDisk;
    // Every change up to this generation is in the file.
    Generation _writtenThrough = 0;
    // The generation at the auto-save's last look; an unchanged generation needs no fingerprint.
    std::optional<Generation> _autoSaveLookedAt;
};

}  // namespace quorvane
