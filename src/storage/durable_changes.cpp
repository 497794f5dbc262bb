#include "storage/durable_changes.h"

#include <algorithm>

namespace quorvane {
namespace {

thread_local DurableChanges* activeChanges = nullptr;

}  // namespace

DurableChanges::DurableChanges() : _enclosing(activeChanges) { activeChanges = this; }

DurableChanges::~DurableChanges() { activeChanges = _enclosing; }

void DurableChanges::persist() {
    while (!_changed.empty()) {
        const auto [record, generation] = _changed.front();
        record->persistThrough(generation);
        _changed.erase(_changed.begin());
    }
}

void DurableChanges::noteChange(DurableRecord& record, Generation generation) {
    if (!activeChanges) return;
    auto& changed = activeChanges->_changed;
    const auto noted = std::find_if(changed.begin(), changed.end(), [&](const auto& entry) { return entry.first == &record; });
    if (noted == changed.end()) changed.emplace_back(&record, generation);
    else noted->second = std::max(noted->second, generation);
}

}  // namespace quorvane
