#include "http/connection_slots.h"

namespace quorvane::http {

bool ConnectionSlots::tryAcquire(const std::string& address) {
    std::lock_guard lock(_mutex);
    if (_open >= _maxTotal) return false;
    size_t& count = _perAddress[address];
    if (count >= _maxPerAddress && !_uncapped.contains(address)) {
        if (count == 0) _perAddress.erase(address);
        return false;
    }
    ++count;
    ++_open;
    return true;
}

void ConnectionSlots::release(const std::string& address) {
    std::lock_guard lock(_mutex);
    const auto found = _perAddress.find(address);
    if (found == _perAddress.end()) return;
    --_open;
    if (--found->second == 0) _perAddress.erase(found);
}

size_t ConnectionSlots::open() const {
    std::lock_guard lock(_mutex);
    return _open;
}

}  // namespace quorvane::http
