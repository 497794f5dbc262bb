// The client over HTTPS: the service's certificate is checked against the system's trust store.
#include <cstdio>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "remote/api.h"
#include "remote/log_lines.h"
#include "remote/service_double.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::hasLogLine;
using testing::LogCapture;
using testing::logLines;
using testing::logLinesContaining;
using testing::ServiceUrlOverride;
using testing::TempDir;

// A self-signed certificate for 127.0.0.1, made fresh for each run so that no key lives in the sources.
struct SelfSigned {
    SelfSigned() {
        key = EVP_RSA_gen(2048);
        cert = X509_new();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -60);
        X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509V3_CTX context;
        X509V3_set_ctx_nodb(&context);
        X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
        for (const char* extension : {"IP:127.0.0.1", "CA:TRUE"}) {
            const int nid = extension[0] == 'I' ? NID_subject_alt_name : NID_basic_constraints;
            X509_EXTENSION* made = X509V3_EXT_conf_nid(nullptr, &context, nid, extension);
            X509_add_ext(cert, made, -1);
            X509_EXTENSION_free(made);
        }
        X509_sign(cert, key, EVP_sha256());
    }
    ~SelfSigned() {
        X509_free(cert);
        EVP_PKEY_free(key);
    }
    void writeCertificate(const std::filesystem::path& path) const {
        FILE* file = std::fopen(path.c_str(), "w");
        PEM_write_X509(file, cert);
        std::fclose(file);
    }

    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
};

class TlsServiceTest : public ::testing::Test {
protected:
    TlsServiceTest() : server(identity.cert, identity.key) {
        server.Get("/api/player/v1", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("{\"calendarVersion\": 5}", "application/json");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~TlsServiceTest() override {
        server.stop();
        thread.join();
    }

    SelfSigned identity;
    httplib::SSLServer server;
    int port = 0;
    std::thread thread;
    LogCapture log;
};

TEST_F(TlsServiceTest, AnUntrustedCertificateIsAFailedRequest) {
    ServiceUrlOverride https("https://127.0.0.1:" + std::to_string(port));
    const ApiResult result = Api::ping();
    ASSERT_FALSE(result.isOk());
    EXPECT_NE(std::get<std::string>(result.getError()).find("could not be verified"), std::string::npos) << std::get<std::string>(result.getError());
    EXPECT_EQ(Api::networkState(), NetworkState::ERROR);
    EXPECT_TRUE(hasLogLine(log, "Internet is unreachable"));
}

TEST_F(TlsServiceTest, ACertificateTheTrustStoreHoldsIsAccepted) {
    // OpenSSL's default trust store can be pointed elsewhere with SSL_CERT_FILE.
    TempDir dir;
    identity.writeCertificate(dir / "trusted.pem");
    setenv("SSL_CERT_FILE", (dir / "trusted.pem").c_str(), 1);
    ServiceUrlOverride https("https://127.0.0.1:" + std::to_string(port));
    const ApiResult result = Api::ping();
    unsetenv("SSL_CERT_FILE");
    ASSERT_TRUE(result.isOk()) << describe(result.getError());
    EXPECT_EQ(std::get<Json>(*result.getValue())["calendarVersion"], 5);
    EXPECT_EQ(Api::networkState(), NetworkState::OK);
}

}  // namespace
}  // namespace quorvane
