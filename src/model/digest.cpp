#include "model/digest.h"

#include <stdexcept>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "model/uuid.h"

namespace quorvane {
namespace {

std::string digestHex(const EVP_MD* algorithm, std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, algorithm, nullptr) != 1) throw std::runtime_error("digest failed");
    return toHex(digest, length);
}

}  // namespace

std::string getHash(std::string_view text) { return digestHex(EVP_sha256(), text); }

std::string md5Hex(std::string_view bytes) { return digestHex(EVP_md5(), bytes); }

struct Md5::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
};

Md5::Md5() : _state(std::make_unique<State>()) {
    if (!_state->context || EVP_DigestInit_ex(_state->context, EVP_md5(), nullptr) != 1) throw std::runtime_error("digest failed");
}

Md5::~Md5() = default;

void Md5::add(std::string_view bytes) {
    if (EVP_DigestUpdate(_state->context, bytes.data(), bytes.size()) != 1) throw std::runtime_error("digest failed");
}

std::string Md5::finishHex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(_state->context, digest, &length) != 1) throw std::runtime_error("digest failed");
    return toHex(digest, length);
}

std::string hmacSha256(std::string_view key, std::string_view message) {
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(message.data()), message.size(), mac,
              &length))
        throw std::runtime_error("HMAC-SHA256 failed");
    return std::string(reinterpret_cast<const char*>(mac), length);
}

bool constantTimeEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace quorvane
