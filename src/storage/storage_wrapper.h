#pragma once
// StorageWrapper: owns one root record (DB, Cache or Shadow) for the life of the process, loads it from
// its file at start-up and writes it back when its content changed.
//
// Access follows the locking rule (core/state_lock.h): `wrapper.view(lock)` gives the record for
// reading, `wrapper.edit(lock)` for changing; the StateLock argument proves that the caller holds the
// lock, and a run-time check stays as a second net. Only access for changing marks the record as
// possibly changed, so that a pass in which nobody changed it costs nothing; whether it really changed
// is decided by the content fingerprint, so a change undone before the next save is not written.
#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "core/state_lock.h"
#include "model/record.h"
#include "core/read_file.h"
#include "core/atomic_file.h"

namespace quorvane {

// A stored file that exists but cannot be used; the text names the file and the reason.
class StoredFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

template <Record R>
class StorageWrapper {
public:
    StorageWrapper() = default;
    StorageWrapper(const StorageWrapper&) = delete;
    StorageWrapper& operator=(const StorageWrapper&) = delete;

    R& edit(const StateLock&) {
        requireStateLock();
        _maybeChanged.store(true, std::memory_order_relaxed);
        return _wrapped;
    }
    const R& view(const StateLock&) const {
        requireStateLock();
        return _wrapped;
    }

    // Reads the file into the record. False when the file cannot be read or the record type refuses it;
    // StoredFileError when it is not JSON or does not decode. The record is replaced only by a completely
    // decoded one. Takes the state lock itself.
    bool load(const std::string& path) {
        {
            std::lock_guard saving(_saveMutex);
            _path = path;
        }
        const std::optional<std::string> text = readWholeFile(path);
        if (!text) return false;
        R loaded;
        try {
            const Json parsed = parseJson(*text);
            if (!R::checkAfterLoad(parsed)) return false;
            loaded = from_dict<R>(parsed);
        } catch (const std::exception& error) {
            throw StoredFileError(path + ": " + error.what());
        }
        StateLock lock;
        edit(lock) = std::move(loaded);
        return true;
    }

    // Writes the record now. Takes the state lock itself, only while taking the text.
    void saveForce() {
        std::lock_guard saving(_saveMutex);
        std::string text;
        Fingerprint written;
        {
            StateLock lock;
            _maybeChanged.store(false, std::memory_order_relaxed);
            written = fingerprint(_wrapped);
            text = to_json(_wrapped);
        }
        writeLocked(text, written);
    }

    // Writes the record when its content changed since the last write; true when it wrote. The first
    // call only records the content as saved. Takes the state lock itself.
    bool saveAuto() {
        std::lock_guard saving(_saveMutex);
        std::string text;
        Fingerprint current;
        {
            StateLock lock;
            if (_hash && !_maybeChanged.load(std::memory_order_relaxed)) return false;
            _maybeChanged.store(false, std::memory_order_relaxed);
            current = fingerprint(_wrapped);
            if (!_hash) {
                _hash = current;
                return false;
            }
            if (*_hash == current) return false;
            text = to_json(_wrapped);
        }
        writeLocked(text, current);
        return true;
    }

    std::optional<std::string> path() const {
        std::lock_guard saving(_saveMutex);
        return _path;
    }

private:
    void writeLocked(const std::string& text, Fingerprint written) {
        if (!_path) throw std::runtime_error("no file to save to");
        try {
            writeFileAtomically(*_path, text);
        } catch (...) {
            _maybeChanged.store(true, std::memory_order_relaxed);  // so that a later pass tries again
            throw;
        }
        _hash = written;
    }

    R _wrapped;
    std::atomic<bool> _maybeChanged{true};
    // Guards _path and _hash and keeps two saves of the same file apart.
    mutable std::mutex _saveMutex;
    std::optional<std::string> _path;
    std::optional<Fingerprint> _hash;
};

}  // namespace quorvane
