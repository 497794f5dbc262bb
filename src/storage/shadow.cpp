#include "storage/shadow.h"

#include "model/digest.h"
#include "model/uuid.h"

namespace quorvane {

std::string Shadow::getCurrentSalt() {
    if (!_salt || _salt->empty()) _salt = randomHex(32);
    return *_salt;
}

void Shadow::setPassword(const std::string& userPassword) { _pwd = getHash(getCurrentSalt() + userPassword); }

bool Shadow::isPasswordMatching(const std::string& userPassword) const {
    // A password is only ever set together with a salt, so a pure read never needs to draw one.
    if (!_pwd || !_salt || _salt->empty()) return false;
    return constantTimeEquals(*_pwd, getHash(*_salt + userPassword));
}

}  // namespace quorvane
