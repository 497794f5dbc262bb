#include "web/login_throttle.h"

#include <algorithm>

namespace quorvane::web {
namespace {

int64_t waitAfter(int failures) {
    const int doublings = std::min(failures - LoginThrottle::FREE_ATTEMPTS, 20);
    return std::min(LoginThrottle::FIRST_WAIT_SECONDS << doublings, LoginThrottle::MAX_WAIT_SECONDS);
}

}  // namespace

LoginThrottle loginThrottle;

int64_t LoginThrottle::admit(const std::string& address, int64_t now) {
    std::lock_guard lock(_mutex);
    auto found = _byAddress.find(address);
    if (found != _byAddress.end()) {
        // A refused attempt keeps the address among the most recent too, so that churn from other
        // addresses does not drop one that is still trying.
        _entries.splice(_entries.end(), _entries, found->second);
        Entry& entry = *found->second;
        // Capped, so that a clock set back cannot lock an address out for longer.
        if (entry.blockedUntil > now) return std::min(entry.blockedUntil - now, MAX_WAIT_SECONDS);
        if (now - std::max(entry.lastFailure, entry.blockedUntil) >= FORGET_AFTER_SECONDS) entry.failures = 0;
    } else {
        if (_entries.size() >= _capacity) {
            _byAddress.erase(_entries.front().address);
            _entries.pop_front();
        }
        _entries.push_back({address});
        found = _byAddress.emplace(address, std::prev(_entries.end())).first;
    }
    Entry& entry = *found->second;
    ++entry.failures;
    entry.lastFailure = now;
    if (entry.failures >= FREE_ATTEMPTS) entry.blockedUntil = now + waitAfter(entry.failures);
    return 0;
}

void LoginThrottle::recordSuccess(const std::string& address) {
    std::lock_guard lock(_mutex);
    const auto found = _byAddress.find(address);
    if (found == _byAddress.end()) return;
    _entries.erase(found->second);
    _byAddress.erase(found);
}

size_t LoginThrottle::waitingAt(int64_t now) const {
    std::lock_guard lock(_mutex);
    return static_cast<size_t>(std::count_if(_entries.begin(), _entries.end(), [now](const Entry& entry) { return entry.blockedUntil > now; }));
}

size_t LoginThrottle::size() const {
    std::lock_guard lock(_mutex);
    return _entries.size();
}

void LoginThrottle::clear() {
    std::lock_guard lock(_mutex);
    _entries.clear();
    _byAddress.clear();
}

}  // namespace quorvane::web
