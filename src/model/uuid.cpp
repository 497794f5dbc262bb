#include "model/uuid.h"

#include <stdexcept>
#include <vector>

#include <openssl/rand.h>

namespace quorvane {
namespace {

void fillRandom(unsigned char* bytes, size_t count) {
    if (RAND_bytes(bytes, static_cast<int>(count)) != 1) throw std::runtime_error("the random source failed");
}

}  // namespace

std::string toHex(const unsigned char* bytes, size_t count) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    return text;
}

std::string randomHex(size_t byteCount) {
    std::vector<unsigned char> bytes(byteCount);
    fillRandom(bytes.data(), bytes.size());
    return toHex(bytes.data(), bytes.size());
}

std::string newUuid() {
    unsigned char bytes[16];
    fillRandom(bytes, sizeof bytes);
    bytes[6] = (bytes[6] & 0x0F) | 0x40;  // version 4
    bytes[8] = (bytes[8] & 0x3F) | 0x80;  // RFC 4122 variant
    const std::string hex = toHex(bytes, sizeof bytes);
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" + hex.substr(20);
}

}  // namespace quorvane
