#include "storage/shadow.h"

#include "model/digest.h"
#include "model/uuid.h"

namespace quorvane {

std::string Shadow::getCurrentSalt() {
    if (!_salt || _salt->empty()) _salt = randomHex(32);
    return *_salt;
}

std::string Shadow::saltAndHash(const std::string& other) { return getHash(getCurrentSalt() + other); }

void Shadow::setPassword(const std::string& userPassword) { _pwd = saltAndHash(userPassword); }

bool Shadow::isPasswordMatching(const std::string& userPassword) {
    if (!_pwd) return false;
    return constantTimeEquals(*_pwd, saltAndHash(userPassword));
}

}  // namespace quorvane
