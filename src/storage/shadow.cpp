#include "storage/shadow.h"

#include <algorithm>

#include "model/digest.h"
#include "model/uuid.h"

namespace quorvane {

std::string Shadow::getCurrentSalt() {
    if (!_salt || _salt->empty()) _salt = randomHex(32);
    return *_salt;
}

void Shadow::setPassword(const std::string& userPassword) {
    _pwd = getHash(getCurrentSalt() + userPassword);
    startNewSessionGeneration();
}

bool Shadow::isPasswordMatching(const std::string& userPassword) const {
    // A password is only ever set together with a salt, so a pure read never needs to draw one.
    if (!_pwd || !_salt || _salt->empty()) return false;
    return constantTimeEquals(*_pwd, getHash(*_salt + userPassword));
}

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
