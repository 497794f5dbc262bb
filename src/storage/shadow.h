#pragma once
// The credentials record: one password for the whole web interface, kept as a salted SHA-256 hash.
// The salt is also the signing key of the session cookies.
#include <optional>
#include <string>

#include "model/record.h"

namespace quorvane {

struct Shadow {
    std::optional<std::string> _salt;
    std::optional<std::string> _pwd;

    static bool checkAfterLoad(const Json&) { return true; }

    bool isPasswordSet() const { return _pwd.has_value(); }
    // The salt, drawn (32 random bytes as 64 hex characters) when absent or empty.
    std::string getCurrentSalt();
    void setPassword(const std::string& userPassword);
    // Compared in constant time; false while no password is set.
    bool isPasswordMatching(const std::string& userPassword) const;

    static constexpr auto fields() { return std::tuple{field("_salt", &Shadow::_salt), field("_pwd", &Shadow::_pwd)}; }
};

}  // namespace quorvane
