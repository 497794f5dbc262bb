#pragma once
// Passwords are kept as scrypt hashes in one self-describing text, "scrypt$N$r$p$<salt>$<hash>": the
// salt is drawn for each password, and the cost is read back from the text, so a later change of the
// cost still verifies every stored hash. scrypt because it is memory-hard (a stolen file is costly to
// attack on graphics cards too) and OpenSSL 3 has it.
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane {

struct ScryptCost {
    uint64_t n = 32768;  // with r = 8: 32 MiB and about 100 ms of one core per hash
    uint32_t r = 8;
    uint32_t p = 1;
};

std::string hashPassword(std::string_view password, const ScryptCost& cost = {});

// True when the text has the form hashPassword writes, with a cost this program accepts.
bool isScryptHash(std::string_view stored);

// True when the stored text is a scrypt hash of the password; false for any text of another form.
// The hashes are compared in constant time.
bool isScryptHashOf(std::string_view stored, std::string_view password);

}  // namespace quorvane
