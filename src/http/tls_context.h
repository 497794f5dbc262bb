#pragma once
// The server's TLS settings: TLS 1.2 and 1.3 only, the server's cipher order, a certificate chain and
// its key from PEM files.
#include <filesystem>
#include <memory>
#include <string>

#include <boost/asio/ssl/context.hpp>

namespace quorvane::http {

// std::runtime_error naming the file and the reason when the certificate, the key, or their match
// fails.
std::shared_ptr<boost::asio::ssl::context> loadTlsContext(const std::filesystem::path& certificateFile, const std::filesystem::path& keyFile);

// The SHA-256 fingerprint of the first certificate of the file, as browsers show it: 32 bytes in
// upper-case hex, separated by colons. std::runtime_error when it cannot be read.
std::string certificateFingerprint(const std::filesystem::path& certificateFile);
// The same of a certificate in memory (a peer's, for example).
std::string certificateFingerprint(X509* certificate);

}  // namespace quorvane::http
