#pragma once
// Counts open connections, in all and per client address, against their caps.
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quorvane::http {

class ConnectionSlots {
public:
    ConnectionSlots(size_t maxTotal, size_t maxPerAddress, const std::vector<std::string>& uncapped = {})
        : _maxTotal(maxTotal), _maxPerAddress(maxPerAddress), _uncapped(uncapped.begin(), uncapped.end()) {}

    // False when either cap is reached; the connection must then be closed at once.
    bool tryAcquire(const std::string& address);
    void release(const std::string& address);
    size_t open() const;

private:
    size_t _maxTotal, _maxPerAddress;
    const std::unordered_set<std::string> _uncapped;
    mutable std::mutex _mutex;
    size_t _open = 0;
    std::unordered_map<std::string, size_t> _perAddress;
};

}  // namespace quorvane::http
