// The pair a machine without a certificate of its own makes: it loads, names the machine and the
// loopback addresses as browsers match them, signs itself, lasts what was asked, and keeps its key
// to the owner.
#include "http/self_signed_pair.h"

#include <cstdio>
#include <ctime>
#include <memory>

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "http/tls_context.h"
#include "support/temp_dir.h"

namespace quorvane::http {
namespace {

namespace fs = std::filesystem;

struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using Certificate = std::unique_ptr<X509, X509Free>;

Certificate readCertificate(const fs::path& path) {
    std::FILE* file = std::fopen(path.string().c_str(), "rb");
    if (!file) return nullptr;
    Certificate certificate(PEM_read_X509(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    return certificate;
}

// The subject alternative names, as "DNS:name" and "IP:address" texts.
std::vector<std::string> alternativeNames(X509* certificate) {
    std::vector<std::string> names;
    auto* general = static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; general && i < sk_GENERAL_NAME_num(general); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(general, i);
        if (name->type == GEN_DNS) {
            names.push_back("DNS:" + std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(name->d.dNSName)),
                                                 static_cast<size_t>(ASN1_STRING_length(name->d.dNSName))));
        } else if (name->type == GEN_IPADD) {
            names.push_back("IP:" + std::to_string(ASN1_STRING_length(name->d.iPAddress)) + " bytes");
        }
    }
    GENERAL_NAMES_free(general);
    return names;
}

// Days from now to the time, as OpenSSL counts them.
int daysFromNow(const ASN1_TIME* moment) {
    int days = 0, seconds = 0;
    ASN1_TIME_diff(&days, &seconds, nullptr, moment);
    return days;
}

TEST(SelfSignedPair, LoadsNamesTheMachineAndSignsItself) {
    quorvane::testing::TempDir folder;
    const SelfSignedPair pair{folder / "certificate.pem", folder / "private.key", "bells-pc"};
    writeSelfSignedPair(pair);
    EXPECT_NO_THROW(loadTlsContext(pair.certificate, pair.key));

    const Certificate certificate = readCertificate(pair.certificate);
    ASSERT_TRUE(certificate);
    char subject[256];
    X509_NAME_get_text_by_NID(X509_get_subject_name(certificate.get()), NID_commonName, subject, sizeof subject);
    EXPECT_STREQ(subject, "bells-pc");
    EXPECT_EQ(alternativeNames(certificate.get()), (std::vector<std::string>{"DNS:bells-pc", "DNS:localhost", "IP:4 bytes", "IP:16 bytes"}));
    EXPECT_EQ(X509_check_issued(certificate.get(), certificate.get()), X509_V_OK);
    EXPECT_EQ(X509_verify(certificate.get(), X509_get0_pubkey(certificate.get())), 1);
    EXPECT_EQ(X509_check_purpose(certificate.get(), X509_PURPOSE_SSL_SERVER, 0), 1) << "no CA, a server's certificate";
    EXPECT_LE(daysFromNow(X509_get0_notBefore(certificate.get())), 0);
    EXPECT_GE(daysFromNow(X509_get0_notAfter(certificate.get())), 3649);
    EXPECT_LE(daysFromNow(X509_get0_notAfter(certificate.get())), 3650);

    EXPECT_EQ(fs::status(pair.key).permissions() & fs::perms::all, fs::perms(0600));
    EXPECT_EQ(fs::status(pair.certificate).permissions() & fs::perms::all, fs::perms(0644));
}

TEST(SelfSignedPair, EveryPairIsNewAndLocalhostIsNamedOnce) {
    quorvane::testing::TempDir folder;
    const SelfSignedPair one{folder / "one.pem", folder / "one.key", "localhost", std::chrono::hours(24)};
    const SelfSignedPair two{folder / "two.pem", folder / "two.key", "localhost", std::chrono::hours(24)};
    writeSelfSignedPair(one);
    writeSelfSignedPair(two);
    EXPECT_NE(certificateFingerprint(one.certificate), certificateFingerprint(two.certificate));
    EXPECT_NE(quorvane::testing::readFile(one.key), quorvane::testing::readFile(two.key));
    const Certificate certificate = readCertificate(one.certificate);
    EXPECT_EQ(alternativeNames(certificate.get()).front(), "DNS:localhost");
    EXPECT_EQ(alternativeNames(certificate.get()).size(), 3u);
    EXPECT_EQ(daysFromNow(X509_get0_notAfter(certificate.get())), 1);
}

TEST(SelfSignedPair, AFolderThatCannotBeWrittenIsNamedAndLeavesNothing) {
    quorvane::testing::TempDir folder;
    const SelfSignedPair pair{folder / "missing" / "certificate.pem", folder / "missing" / "private.key", "bells-pc"};
    try {
        writeSelfSignedPair(pair);
        FAIL() << "written into a folder that does not exist";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("cannot write " + pair.key.string()), std::string::npos) << error.what();
    }
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(SelfSignedPair, TheMachinesNameIsNeverEmpty) { EXPECT_FALSE(thisHostName().empty()); }

}  // namespace
}  // namespace quorvane::http
