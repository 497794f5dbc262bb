#include "storage/durable_changes.h"

#include <algorithm>
#include <atomic>

namespace quorvane {
namespace {

thread_local DurableChanges* activeChanges = nullptr;
std::atomic<ChangeOwner> lastOwner{NO_OWNER};

}  // namespace

DurableChanges::DurableChanges() : _owner(++lastOwner), _enclosing(activeChanges) { activeChanges = this; }

DurableChanges::~DurableChanges() {
    activeChanges = _enclosing;
    for (DurableRecord* record : _touched) record->forgetChanges(_owner);
}

ChangeOwner DurableChanges::activeOwner() { return activeChanges ? activeChanges->_owner : NO_OWNER; }

void DurableChanges::persist() {
    while (!_changed.empty()) {
        const auto [record, generation] = _changed.front();
        try {
            record->persistThrough(generation, _owner);
        } catch (const SaveError&) {
            undo();
            throw;
        }
        _changed.erase(_changed.begin());
    }
}

void DurableChanges::undo() {
    _changed.clear();
    for (auto record = _touched.rbegin(); record != _touched.rend(); ++record) (*record)->undoChanges(_owner);
}

void DurableChanges::noteChange(DurableRecord& record, Generation generation) {
    if (!activeChanges) return;
    auto& touched = activeChanges->_touched;
    if (std::find(touched.begin(), touched.end(), &record) == touched.end()) touched.push_back(&record);
    auto& changed = activeChanges->_changed;
    const auto noted = std::find_if(changed.begin(), changed.end(), [&](const auto& entry) { return entry.first == &record; });
    if (noted == changed.end()) changed.emplace_back(&record, generation);
    else noted->second = std::max(noted->second, generation);
}

}  // namespace quorvane
