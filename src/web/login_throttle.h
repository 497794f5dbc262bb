#pragma once
// Slows down password guessing: after a few failed attempts from one client address, that address must
// wait before it may try again, twice as long after every further failure, up to a ceiling.
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

namespace quorvane::web {

class LoginThrottle {
public:
    static constexpr int FREE_ATTEMPTS = 5;
    static constexpr int64_t FIRST_WAIT_SECONDS = 60;
    static constexpr int64_t MAX_WAIT_SECONDS = 15 * 60;
    // Failures are forgotten once an address has been quiet (and not waiting) this long.
    static constexpr int64_t FORGET_AFTER_SECONDS = 15 * 60;
    // Addresses are cheap to come by on a network; the table keeps the most recently failing ones.
    static constexpr size_t DEFAULT_CAPACITY = 4096;

    explicit LoginThrottle(size_t capacity = DEFAULT_CAPACITY) : _capacity(capacity) {}
    LoginThrottle(const LoginThrottle&) = delete;
    LoginThrottle& operator=(const LoginThrottle&) = delete;

    // Admits one password attempt from the address at the time now (seconds): 0 when it may go on, else
    // the seconds it must still wait. An admitted attempt counts as failed until recordSuccess, so that
    // attempts sent side by side cannot slip past the count.
    int64_t admit(const std::string& address, int64_t now);
    // The right password: the address starts afresh.
    void recordSuccess(const std::string& address);

    // How many addresses must wait at the time now (seconds).
    size_t waitingAt(int64_t now) const;
    size_t size() const;
    void clear();

private:
    struct Entry {
        std::string address;
        int failures = 0;
        int64_t lastFailure = 0;
        int64_t blockedUntil = 0;
    };
    using Entries = std::list<Entry>;

    // Leaf lock of the table.
    mutable std::mutex _mutex;
    size_t _capacity;
    // Least recently failing first.
    Entries _entries;
    std::unordered_map<std::string, Entries::iterator> _byAddress;
};

// The table of the process's web server.
extern LoginThrottle loginThrottle;

}  // namespace quorvane::web
