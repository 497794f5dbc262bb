#include "http/tls_context.h"

#include <cstdio>
#include <stdexcept>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace quorvane::http {
namespace ssl = boost::asio::ssl;

namespace {

// The reason OpenSSL gives last, without its codes.
std::string openSslReason(const boost::system::error_code& error) {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code != 0) {
        const char* reason = ERR_reason_error_string(code);
        if (reason) return reason;
    }
    return error.message();
}

}  // namespace

std::shared_ptr<ssl::context> loadTlsContext(const std::filesystem::path& certificateFile, const std::filesystem::path& keyFile) {
    auto context = std::make_shared<ssl::context>(ssl::context::tls_server);
    SSL_CTX* native = context->native_handle();
    SSL_CTX_set_min_proto_version(native, TLS1_2_VERSION);
    // Forward secrecy and authenticated encryption only, in our order: the clients of a school network
    // are browsers of the last few years.
    SSL_CTX_set_cipher_list(native, "ECDHE+AESGCM:ECDHE+CHACHA20");
    SSL_CTX_set_options(native, SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION);
    // A connection waiting for its client holds no record buffers: hundreds of stalled handshakes stay cheap.
    SSL_CTX_set_mode(native, SSL_MODE_RELEASE_BUFFERS);
    boost::system::error_code error;
    context->use_certificate_chain_file(certificateFile.string(), error);
    if (error) throw std::runtime_error("cannot load the TLS certificate " + certificateFile.string() + ": " + openSslReason(error));
    context->use_private_key_file(keyFile.string(), ssl::context::pem, error);
    if (error) throw std::runtime_error("cannot load the TLS key " + keyFile.string() + ": " + openSslReason(error));
    if (SSL_CTX_check_private_key(native) != 1)
        throw std::runtime_error("the TLS key " + keyFile.string() + " does not belong to the certificate " + certificateFile.string());
    return context;
}

std::string certificateFingerprint(const std::filesystem::path& certificateFile) {
    std::FILE* file = std::fopen(certificateFile.string().c_str(), "rb");
    if (!file) throw std::runtime_error("cannot read the TLS certificate " + certificateFile.string());
    X509* certificate = PEM_read_X509(file, nullptr, nullptr, nullptr);
    std::fclose(file);
    if (!certificate) throw std::runtime_error("cannot read the TLS certificate " + certificateFile.string());
    std::string text = certificateFingerprint(certificate);
    X509_free(certificate);
    if (text.empty()) throw std::runtime_error("cannot fingerprint the TLS certificate " + certificateFile.string());
    return text;
}

std::string certificateFingerprint(X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return "";
    static const char* const HEX = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        if (i > 0) text += ':';
        text += HEX[digest[i] >> 4];
        text += HEX[digest[i] & 0xf];
    }
    return text;
}

}  // namespace quorvane::http
