#include "model/password_hash.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include <openssl/core_names.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include "model/decimal.h"
#include "model/digest.h"
#include "model/uuid.h"

namespace quorvane {
namespace {

constexpr std::string_view PREFIX = "scrypt";
constexpr size_t HASH_BYTES = 32;
constexpr size_t SALT_BYTES = 16;
// A stored text is the administrator's file, but a damaged or planted one must not make one login
// take gigabytes: costs beyond these are refused.
constexpr uint64_t MAX_N = uint64_t{1} << 20;
constexpr uint32_t MAX_R = 32;
constexpr uint32_t MAX_P = 16;
constexpr uint64_t MAX_MEMORY = uint64_t{256} << 20;

struct ParsedHash {
    ScryptCost cost;
    std::string_view salt;
    std::string_view hash;
};

// A cost as hashPassword writes it (std::to_string): a sign, a leading zero or white space is another form.
std::optional<uint64_t> writtenNumber(std::string_view text, uint64_t max) {
    const auto value = parseDecimalInteger(text);
    if (!value || *value < 1 || static_cast<uint64_t>(*value) > max || std::to_string(*value) != text) return std::nullopt;
    return static_cast<uint64_t>(*value);
}

bool isAcceptedCost(const ScryptCost& cost) {
    const bool powerOfTwo = cost.n >= 2 && (cost.n & (cost.n - 1)) == 0;
    return powerOfTwo && cost.n <= MAX_N && cost.r >= 1 && cost.r <= MAX_R && cost.p >= 1 && cost.p <= MAX_P && 128 * cost.n * cost.r <= MAX_MEMORY;
}

bool isLowerHex(std::string_view text) { return text.find_first_not_of("0123456789abcdef") == std::string_view::npos; }

std::optional<ParsedHash> parse(std::string_view stored) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t dollar; (dollar = stored.find('$', start)) != std::string_view::npos; start = dollar + 1)
        parts.push_back(stored.substr(start, dollar - start));
    parts.push_back(stored.substr(start));
    if (parts.size() != 6 || parts[0] != PREFIX) return std::nullopt;
    const auto n = writtenNumber(parts[1], MAX_N);
    const auto r = writtenNumber(parts[2], MAX_R);
    const auto p = writtenNumber(parts[3], MAX_P);
    if (!n || !r || !p) return std::nullopt;
    ParsedHash parsed{{*n, static_cast<uint32_t>(*r), static_cast<uint32_t>(*p)}, parts[4], parts[5]};
    if (!isAcceptedCost(parsed.cost) || parsed.salt.empty() || !isLowerHex(parsed.salt) || parsed.hash.size() != 2 * HASH_BYTES ||
        !isLowerHex(parsed.hash))
        return std::nullopt;
    return parsed;
}

std::string scryptHex(std::string_view password, std::string_view salt, const ScryptCost& cost) {
    using Kdf = std::unique_ptr<EVP_KDF, decltype(&EVP_KDF_free)>;
    using Context = std::unique_ptr<EVP_KDF_CTX, decltype(&EVP_KDF_CTX_free)>;
    const Kdf kdf(EVP_KDF_fetch(nullptr, "SCRYPT", nullptr), EVP_KDF_free);
    const Context context(kdf ? EVP_KDF_CTX_new(kdf.get()) : nullptr, EVP_KDF_CTX_free);
    if (!context) throw std::runtime_error("scrypt is not available");
    uint64_t n = cost.n;
    uint32_t r = cost.r;
    uint32_t p = cost.p;
    uint64_t maxMemory = MAX_MEMORY + (uint64_t{1} << 20);  // OpenSSL's default would refuse the usual cost
    const OSSL_PARAM parameters[] = {OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD, const_cast<char*>(password.data()), password.size()),
                                     OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<char*>(salt.data()), salt.size()),
                                     OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_N, &n),
                                     OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_R, &r),
                                     OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_P, &p),
                                     OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_MAXMEM, &maxMemory),
                                     OSSL_PARAM_construct_end()};
    unsigned char hash[HASH_BYTES];
    if (EVP_KDF_derive(context.get(), hash, sizeof hash, parameters) != 1) throw std::runtime_error("scrypt failed");
    return toHex(hash, sizeof hash);
}

}  // namespace

std::string hashPassword(std::string_view password, const ScryptCost& cost) {
    if (!isAcceptedCost(cost)) throw std::invalid_argument("scrypt cost out of bounds");
    const std::string salt = randomHex(SALT_BYTES);
    return std::string(PREFIX) + "$" + std::to_string(cost.n) + "$" + std::to_string(cost.r) + "$" + std::to_string(cost.p) + "$" + salt + "$" +
           scryptHex(password, salt, cost);
}

bool isScryptHash(std::string_view stored) { return parse(stored).has_value(); }

bool isScryptHashOf(std::string_view stored, std::string_view password) {
    const auto parsed = parse(stored);
    return parsed && constantTimeEquals(scryptHex(password, parsed->salt, parsed->cost), parsed->hash);
}

}  // namespace quorvane
