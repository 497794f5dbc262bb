#pragma once
// MapDb: a table of records addressed by text id that keeps insertion order (signals, timetables,
// calendar regions). Its JSON form is an object of id -> record; its table form, sent to the browser, is
// a list of record objects each ending with its "id".
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/record.h"
#include "model/uuid.h"

namespace quorvane {

template <Record R>
class MapDb {
public:
    using Entry = std::pair<std::string, R>;

    bool contains(const std::string& id) const { return _index.contains(id); }
    size_t size() const { return _entries.size(); }
    bool empty() const { return _entries.empty(); }

    // Absent (nullptr) for an id that is not present.
    const R* find(const std::string& id) const {
        const auto it = _index.find(id);
        return it == _index.end() ? nullptr : &_entries[it->second].second;
    }
    R* find(const std::string& id) {
        const auto it = _index.find(id);
        return it == _index.end() ? nullptr : &_entries[it->second].second;
    }

    // Replaces the record of a present id in place, or appends a new entry.
    void set(const std::string& id, R record) {
        if (R* present = find(id)) {
            *present = std::move(record);
            return;
        }
        _index.emplace(id, _entries.size());
        _entries.emplace_back(id, std::move(record));
    }

    // Stores the record under key, or under a new random id when key is empty; returns the id used.
    std::string add(R item, std::string key = "") {
        if (!key.empty() && contains(key)) throw KeyError("Key already exists");
        if (key.empty()) key = newUuid();
        set(key, std::move(item));
        return key;
    }

    R remove(const std::string& id) {
        const auto it = _index.find(id);
        if (it == _index.end()) throw KeyError(id);
        const size_t position = it->second;
        R removed = std::move(_entries[position].second);
        _entries.erase(_entries.begin() + static_cast<std::ptrdiff_t>(position));
        _index.erase(it);
        for (size_t i = position; i < _entries.size(); ++i) _index[_entries[i].first] = i;
        return removed;
    }

    // The record at a position in table order; negative positions count from the end.
    R& at(int64_t idx) { return _entries[checkedPosition(idx)].second; }
    const R& at(int64_t idx) const { return _entries[checkedPosition(idx)].second; }

    void clear() {
        _entries.clear();
        _index.clear();
    }

    auto begin() const { return _entries.begin(); }
    auto end() const { return _entries.end(); }
    auto begin() { return _entries.begin(); }
    auto end() { return _entries.end(); }

    Json asTable() const {
        Json list = Json::array();
        for (const auto& [id, record] : _entries) {
            Json object = Codec<R>::encode(record);
            object["id"] = id;
            list.push_back(std::move(object));
        }
        return list;
    }

    // Replaces the whole content from an object of id -> record JSON. When a member does not decode, the
    // error reaches the caller and the table holds the members decoded before it. Repairs: see record.h.
    void fromDict(const Json& data, const std::string& path = "", Repairs* repairs = nullptr) {
        if (!data.is_object()) failDecode(path, "expected an object, found " + kindName(data));
        clear();
        for (const auto& [id, value] : data.items()) {
            R record = Codec<R>::decode(value, memberPath(path, id), repairs);
            add(std::move(record), id);
        }
    }

    Fingerprint hash() const {
        Fingerprint h = hashInt(static_cast<int64_t>(size()));
        for (const auto& [id, record] : _entries) h = combine(combine(h, hashText(id)), Codec<R>::hash(record));
        return h;
    }

    bool operator==(const MapDb& other) const { return _entries == other._entries; }

private:
    size_t checkedPosition(int64_t idx) const {
        const auto count = static_cast<int64_t>(_entries.size());
        const int64_t position = idx < 0 ? idx + count : idx;
        if (position < 0 || position >= count) throw IndexError("MapDb index out of range");
        return static_cast<size_t>(position);
    }

    std::vector<Entry> _entries;
    std::unordered_map<std::string, size_t> _index;
};

template <Record R>
struct Codec<MapDb<R>> {
    static Json encode(const MapDb<R>& table) {
        Json object = Json::object();
        for (const auto& [id, record] : table) object[id] = Codec<R>::encode(record);
        return object;
    }
    static MapDb<R> decode(const Json& j, const std::string& path, Repairs* repairs) {
        MapDb<R> table;
        table.fromDict(j, path, repairs);
        return table;
    }
    static Fingerprint hash(const MapDb<R>& table) { return table.hash(); }
};

}  // namespace quorvane
