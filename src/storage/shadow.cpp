#include "storage/shadow.h"

#include <algorithm>

#include "model/digest.h"
#include "model/password_hash.h"
#include "model/uuid.h"

namespace quorvane {

std::string Shadow::getCurrentSalt() {
    if (!_salt || _salt->empty()) _salt = randomHex(32);
    return *_salt;
}

bool StoredPassword::matches(const std::string& password) const {
    if (!pwd) return false;
    if (isScryptHash(*pwd)) return isScryptHashOf(*pwd, password);
    // The old form: a password was only ever set together with a salt.
    if (!salt || salt->empty()) return false;
    return constantTimeEquals(*pwd, getHash(*salt + password));
}

bool StoredPassword::isOldForm() const { return pwd && !isScryptHash(*pwd); }

void Shadow::setPasswordHash(std::string hash) {
    getCurrentSalt();  // the signing key exists from the first password on
    _pwd = std::move(hash);
    startNewSessionGeneration();
}

void Shadow::setPassword(const std::string& userPassword) { setPasswordHash(hashPassword(userPassword)); }

void Shadow::startNewSessionGeneration() {
    ++_sessionGeneration;
    // Every revoked session belonged to an earlier generation, which is now refused as a whole.
    _revokedSessions.clear();
}

void Shadow::revokeSession(const std::string& id, int64_t expiresAt, int64_t now) {
    if (expiresAt <= now || isSessionRevoked(id)) return;
    std::erase_if(_revokedSessions, [now](const RevokedSession& entry) { return entry.expiresAt <= now; });
    if (_revokedSessions.size() >= MAX_REVOKED_SESSIONS) return startNewSessionGeneration();
    _revokedSessions.push_back({id, expiresAt});
}

bool Shadow::isSessionRevoked(const std::string& id) const {
    return std::any_of(_revokedSessions.begin(), _revokedSessions.end(), [&id](const RevokedSession& entry) { return entry.id == id; });
}

}  // namespace quorvane
