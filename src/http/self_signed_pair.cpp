#include "http/self_signed_pair.h"

#include <memory>
#include <stdexcept>
#include <system_error>

#include <boost/asio/ip/host_name.hpp>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "core/atomic_file.h"

namespace quorvane::http {
namespace {

template <auto release>
struct Releaser {
    void operator()(auto* pointer) const { release(pointer); }
};
using Key = std::unique_ptr<EVP_PKEY, Releaser<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Releaser<X509_free>>;
using Memory = std::unique_ptr<BIO, Releaser<BIO_free>>;

// What PEM_write_bio_* wrote into a memory BIO, as text.
std::string pemText(const auto& write) {
    Memory memory(BIO_new(BIO_s_mem()));
    if (!memory || write(memory.get()) != 1) throw std::runtime_error("cannot encode the TLS pair");
    char* data = nullptr;
    const long size = BIO_get_mem_data(memory.get(), &data);
    return std::string(data, static_cast<size_t>(size));
}

void addExtension(X509* certificate, int id, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, id, value.c_str());
    if (!extension || X509_add_ext(certificate, extension, -1) != 1) throw std::runtime_error("cannot make the TLS certificate");
    X509_EXTENSION_free(extension);
}

Certificate selfSigned(EVP_PKEY* key, const SelfSignedPair& pair) {
    Certificate certificate(X509_new());
    unsigned char serial[8];
    if (!certificate || RAND_bytes(serial, sizeof serial) != 1) throw std::runtime_error("cannot make the TLS certificate");
    serial[0] &= 0x7f;  // a positive serial number
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate.get()));
    BN_free(number);
    X509_set_version(certificate.get(), X509_VERSION_3);
    // An hour back, for machines whose clocks differ a little from the browser's.
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), std::chrono::seconds(pair.validity).count());
    X509_set_pubkey(certificate.get(), key);
    X509_NAME* subject = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>("Quorvane Player"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(pair.hostName.c_str()), -1, -1, 0);
    X509_set_issuer_name(certificate.get(), subject);
    // Browsers match the address bar against these names, not the subject.
    std::string names = "DNS:localhost,IP:127.0.0.1,IP:::1";
    if (!pair.hostName.empty() && pair.hostName != "localhost") names = "DNS:" + pair.hostName + "," + names;
    addExtension(certificate.get(), NID_subject_alt_name, names);
    addExtension(certificate.get(), NID_basic_constraints, "critical,CA:FALSE");
    addExtension(certificate.get(), NID_ext_key_usage, "serverAuth");
    if (X509_sign(certificate.get(), key, EVP_sha256()) == 0) throw std::runtime_error("cannot sign the TLS certificate");
    return certificate;
}

void writeFile(const std::filesystem::path& path, const std::string& text, std::filesystem::perms mode) {
    try {
        writeFileAtomically(path, text, mode);
    } catch (const std::system_error& error) {
        throw std::runtime_error("cannot write " + path.string() + ": " + error.code().message());
    }
}

}  // namespace

void writeSelfSignedPair(const SelfSignedPair& pair) {
    const Key key(EVP_EC_gen("P-256"));
    if (!key) throw std::runtime_error("cannot make a TLS key");
    const Certificate certificate = selfSigned(key.get(), pair);
    // The key first: a certificate without its key would not load, a key alone is made again.
    writeFile(pair.key, pemText([&](BIO* out) { return PEM_write_bio_PrivateKey(out, key.get(), nullptr, nullptr, 0, nullptr, nullptr); }),
              PRIVATE_FILE_MODE);
    writeFile(pair.certificate, pemText([&](BIO* out) { return PEM_write_bio_X509(out, certificate.get()); }), SHARED_FILE_MODE);
}

std::string thisHostName() {
    boost::system::error_code error;
    std::string name = boost::asio::ip::host_name(error);
    return error || name.empty() ? "localhost" : name;
}

}  // namespace quorvane::http
