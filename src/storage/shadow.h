#pragma once
// The credentials record: one password for the whole web interface, kept as a scrypt hash (files of
// older versions hold one round of SHA-256 over "_salt" and the password, which still verifies until
// the next login rewrites it). "_salt" is the signing key of the session cookies. The record also decides which sessions are
// still honoured: a cookie names the generation it was issued in, and a logout puts its id on a list.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/record.h"

namespace quorvane {

// A session that was logged out, refused until its cookie would have expired anyway.
struct RevokedSession {
    std::string id;
    int64_t expiresAt = 0;  // seconds since the epoch

    static constexpr auto fields() { return std::tuple{field("id", &RevokedSession::id), field("expiresAt", &RevokedSession::expiresAt)}; }
};

// What a password check needs, copied out of the record: the slow hash runs without the state lock.
struct StoredPassword {
    std::optional<std::string> pwd;
    std::optional<std::string> salt;

    // Compared in constant time; false while no password is set.
    bool matches(const std::string& password) const;
    // Written by an older version, to be rewritten by the next successful login.
    bool isOldForm() const;
};

struct Shadow {
    // Logouts rarely exceed a few a day; a list this long stays a small file and cheap to search.
    static constexpr size_t MAX_REVOKED_SESSIONS = 512;

    std::optional<std::string> _salt;
    std::optional<std::string> _pwd;
    // Cookies issued in an earlier generation are refused. Files written before generations existed load
    // as generation 0.
    int64_t _sessionGeneration = 0;
    std::vector<RevokedSession> _revokedSessions;
    // What a monitoring tool sends as "Authorization: Bearer <token>" to read the metrics; none until one
    // is made on the settings page. It reads the metrics only.
    std::optional<std::string> _metricsToken;

    static bool checkAfterLoad(const Json&) { return true; }

    bool isPasswordSet() const { return _pwd.has_value(); }
    // The salt, drawn (32 random bytes as 64 hex characters) when absent or empty.
    std::string getCurrentSalt();
    // Also starts a new session generation: a new password ends every session issued before it. The
    // hash comes from hashPassword, worked out before the state lock is taken.
    void setPasswordHash(std::string hash);
    // Hashes and sets: for callers that hold no lock while it runs.
    void setPassword(const std::string& userPassword);
    StoredPassword storedPassword() const { return {_pwd, _salt}; }
    bool isPasswordMatching(const std::string& userPassword) const { return storedPassword().matches(userPassword); }

    // Ends every session issued so far.
    void startNewSessionGeneration();
    // Refuses the session from now until expiresAt. Entries whose time is over are dropped first; when the
    // list is still full, a new generation ends every session instead, so the list stays bounded.
    void revokeSession(const std::string& id, int64_t expiresAt, int64_t now);
    bool isSessionRevoked(const std::string& id) const;

    static constexpr auto fields() {
        return std::tuple{field("_salt", &Shadow::_salt), field("_pwd", &Shadow::_pwd), field("_sessionGeneration", &Shadow::_sessionGeneration),
                          field("_revokedSessions", &Shadow::_revokedSessions), field("_metricsToken", &Shadow::_metricsToken)};
    }
};

}  // namespace quorvane
