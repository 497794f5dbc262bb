#pragma once
// A certificate of the machine's own, for a player that has none from its school: Windows has no
// ready-made pair like Debian's ssl-cert, so the first start makes one.
#include <chrono>
#include <filesystem>
#include <string>

namespace quorvane::http {

struct SelfSignedPair {
    std::filesystem::path certificate, key;
    std::string hostName;                    // the certificate's subject, beside "localhost"
    std::chrono::hours validity{24 * 3650};  // ten years: a school renews nothing it need not
};

// Writes a new P-256 key (owner-only) and a certificate for it, signed by itself, each file whole or
// not at all. std::runtime_error naming the file when one cannot be made.
void writeSelfSignedPair(const SelfSignedPair& pair);

// The machine's name, as the certificate names it.
std::string thisHostName();

}  // namespace quorvane::http
