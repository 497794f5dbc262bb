#pragma once
// StorageWrapper: owns one root record (DB, Cache or Shadow) for the life of the process, loads it from
// its file at start-up and writes it back: at once when a request persists its change (see
// durable_changes.h), and on the scheduler's auto-save for everything else.
//
// Taking a request back: the changes of one request between two changes by others form a section,
// kept as the members it changed (record_change.h) until the request is done. A failed write fails every
// request with a section it carried (none of them may be acknowledged: their content is not on disk), and
// takes all their sections back at once, latest first, while the save lock keeps any other write out: each
// section then finds the members as it left them, or as a later section left them. A member changed by a
// later section of a request that goes on (one whose change came after the failed write's text was
// taken, and may well be written and acknowledged) keeps that later value, so an undo never takes back
// an acknowledged change. Sections carried by a successful write stay until their request is done, since
// another of its records may still fail; taking such a section back writes the record again.
//
// Access follows the locking rule (core/state_lock.h): `wrapper.view(lock)` gives the record for
// reading, `wrapper.edit(lock)` for changing; the StateLock argument proves that the caller holds the
// lock, and a run-time check stays as a second net. Every edit advances the record's generation, so a
// pass in which nobody changed it costs nothing, and a request can tell whether a write already covers
// its change. Whether the content really changed is decided by the fingerprint, so a change undone
// before the next auto-save is not written.
#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <spdlog/spdlog.h>

#include "core/atomic_file.h"
#include "core/file_io.h"
#include "core/state_lock.h"
#include "core/utf8_path.h"
#include "model/record.h"
#include "storage/durable_changes.h"
#include "storage/record_change.h"

namespace quorvane {

// A stored file that exists but cannot be used; the text names the file and the reason.
class StoredFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

template <Record R>
class StorageWrapper final : public DurableRecord {
public:
    // writtenLine is logged (debug) on every write of the file.
    explicit StorageWrapper(std::filesystem::perms newFileMode = SHARED_FILE_MODE, std::string writtenLine = {})
        : _newFileMode(newFileMode), _writtenLine(std::move(writtenLine)) {}
    StorageWrapper(const StorageWrapper&) = delete;
    StorageWrapper& operator=(const StorageWrapper&) = delete;

    R& edit(const StateLock& lock) {
        requireStateLock();
        const ChangeOwner owner = DurableChanges::activeOwner();
        if (!_openSection || _openSection->owner != owner) {
            closeSection(lock);
            if (owner != NO_OWNER) _openSection = OpenSection{owner, to_dict(_wrapped), 0};
        }
        ++_generation;
        if (_openSection) _openSection->generation = _generation;
        DurableChanges::noteChange(*this, _generation);
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

    // Writes the record when its content changed since the last write, or when the last write failed
    // (a refused change leaves nothing to write, and the failure must still show until the disk takes
    // writes again); true when it wrote. The first call only records the content as saved. Takes the
    // state lock itself.
    bool saveAuto() {
        const auto saving = lockForSaving();
        Snapshot snapshot;
        if (_writeFailed) {
            snapshot = takeSnapshot(true);
            write(snapshot);
            return true;
        }
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
            closeSection(lock);
            snapshot = Snapshot{to_json(_wrapped), current, _generation};
        }
        write(snapshot);
        return true;
    }

    // Group commit: returns at once when a write that completed after the change of the given generation
    // covers it; otherwise writes the current content (covering every change made so far).
    void persistThrough(Generation generation, ChangeOwner owner) override {
        const auto saving = lockForSaving();
        {
            StateLock lock;
            if (const auto refusal = _refused.find(owner); refusal != _refused.end()) throw SaveError(refusal->second);
        }
        if (_writtenThrough >= generation) return;
        const Snapshot snapshot = takeSnapshot(false);
        if (snapshot.text.empty()) return;
        try {
            write(snapshot);
        } catch (const std::exception& error) {
            throw SaveError(error.what());
        }
    }

    void undoChanges(ChangeOwner owner) override {
        const auto saving = lockForSaving();
        bool written = false;
        {
            StateLock lock;
            written = takeBack({owner}, lock);
        }
        if (!written) return;
        // The file holds the change: it is written again without it, or by the auto-save when this fails.
        try {
            const Snapshot snapshot = takeSnapshot(false);
            if (!snapshot.text.empty()) write(snapshot);
        } catch (const std::exception& error) {
            spdlog::warn("Could not write {} again without a refused change: {}; the auto-save tries again", _path.value_or("the file"),
                         error.what());
        }
    }

    void forgetChanges(ChangeOwner owner) override {
        StateLock lock;
        if (_openSection && _openSection->owner == owner) _openSection.reset();
        std::erase_if(_sections, [&](const Section& section) { return section.owner == owner; });
        _refused.erase(owner);
    }

    // Makes every change made so far durable; SaveError when the write fails.
    void persist() {
        requireNoStateLock();
        Generation current;
        {
            StateLock lock;
            current = _generation;
        }
        persistThrough(current, DurableChanges::activeOwner());
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
        closeSection(lock);
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
        } catch (const std::exception& error) {
            StateLock lock;
            _autoSaveLookedAt.reset();  // so that the next auto-save tries again
            _writeFailed = true;
            refuseCarried(snapshot.generation, error.what(), lock);
            throw;
        }
        _writeFailed = false;
        _hash = _onDisk = snapshot.content;
        _writtenThrough = std::max(_writtenThrough, snapshot.generation);
        if (!_writtenLine.empty()) spdlog::debug("{}", _writtenLine);
    }

    // Under the state lock: the open section ends, before a change by another or a write.
    void closeSection(const StateLock&) {
        if (!_openSection) return;
        RecordChange change = changeBetween(_openSection->before, to_dict(_wrapped));
        if (!change.empty()) _sections.push_back({_openSection->owner, _openSection->generation, std::move(change)});
        _openSection.reset();
    }

    // With _saveMutex and the state lock held, after a write up to the generation failed: every request
    // with a section it carried that no earlier write did is refused and taken back.
    void refuseCarried(Generation through, const std::string& reason, const StateLock& lock) {
        std::set<ChangeOwner> owners;
        for (const Section& section : _sections)
            if (section.generation > _writtenThrough && section.generation <= through) owners.insert(section.owner);
        if (owners.empty()) return;
        takeBack(owners, lock);
        for (const ChangeOwner owner : owners) _refused.emplace(owner, reason);
    }

    // With _saveMutex and the state lock held: the owners' sections are taken back, latest first. True when
    // a write had carried one of them.
    bool takeBack(const std::set<ChangeOwner>& owners, const StateLock& lock) {
        closeSection(lock);
        const auto owned = [&](const Section& section) { return owners.contains(section.owner); };
        if (std::none_of(_sections.begin(), _sections.end(), owned)) return false;
        Json content = to_dict(_wrapped);
        bool written = false;
        for (auto section = _sections.rbegin(); section != _sections.rend(); ++section) {
            if (!owned(*section)) continue;
            revertChange(content, section->change);
            written = written || section->generation <= _writtenThrough;
        }
        std::erase_if(_sections, owned);
        Repairs repairs;  // the content came from records, so nothing is out of bounds
        _wrapped = from_dict<R>(content, &repairs);
        ++_generation;
        return written;
    }

    struct OpenSection {
        ChangeOwner owner;
        Json before;
        Generation generation;  // of its latest change
    };
    struct Section {
        ChangeOwner owner;
        Generation generation;
        RecordChange change;
    };

    R _wrapped;
    const std::filesystem::perms _newFileMode;
    const std::string _writtenLine;
    // The requests' changes that may still be taken back; guarded by the state lock.
    std::optional<OpenSection> _openSection;
    std::vector<Section> _sections;  // oldest first
    // Requests whose change a failed write carried, with the reason; guarded by the state lock.
    std::map<ChangeOwner, std::string> _refused;
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
    bool _writeFailed = false;
};

}  // namespace quorvane
