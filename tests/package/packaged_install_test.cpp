// The Debian package made from this build (by the CTest fixture package_build) and the install into a
// prefix: their files, the package's control data, and the program unpacked into a temporary root and
// started there the way the service starts it.
#include <csignal>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "core/child_process.h"
#include "http/tls_context.h"
#include "model/text.h"
#include "support/child_process.h"
#include "support/emulator.h"
#include "support/player_service.h"
#include "support/temp_dir.h"
#include "support/tls_test_pair.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::TempDir;

const fs::path BUILD_DIR = QUORVANE_BINARY_DIR;

std::string output(const std::vector<std::string>& command) {
    const CommandOutput result = runCommand(command);
    EXPECT_EQ(result.exitStatus, 0) << command.front() << " " << command.back();
    return result.standardOutput;
}

std::string builtVersion() { return std::string(trimmed(testing::readFile(BUILD_DIR / "version.info"))); }

fs::path packageFile() { return BUILD_DIR / ("quorvane-player_" + builtVersion() + "_" + QUORVANE_DEB_ARCHITECTURE + ".deb"); }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Package, HoldsTheProgramItsFilesTheServiceAndTheDefaults) {
    ASSERT_TRUE(fs::exists(packageFile())) << packageFile();
    const std::string files = output({"dpkg-deb", "--contents", packageFile().string()});
    for (const std::string path :
         {"./usr/bin/quorvane-player", "./usr/share/quorvane-player/assets/version.info", "./usr/share/quorvane-player/web-ui/dist/index.html",
          "./lib/systemd/system/quorvane-player.service", "./etc/default/quorvane-player", "./usr/share/doc/quorvane-player/copyright",
          "./usr/share/man/man1/quorvane-player.1.gz"})
        EXPECT_TRUE(contains(files, path + "\n")) << path << " missing from\n" << files;
    for (const auto& sound : fs::directory_iterator(fs::path(QUORVANE_SOURCE_DIR) / "assets"))
        EXPECT_TRUE(contains(files, "./usr/share/quorvane-player/assets/" + sound.path().filename().string() + "\n"));
    for (const std::string absent : {"standin", "unit_tests", "bench", "/userdata"}) EXPECT_FALSE(contains(files, absent)) << absent;
}

TEST(Package, ControlDataNamesVersionDependenciesConffileAndScripts) {
    const std::string fields = output({"dpkg-deb", "--field", packageFile().string(), "Package", "Version", "Depends"});
    EXPECT_TRUE(contains(fields, "Package: quorvane-player\n")) << fields;
    EXPECT_TRUE(contains(fields, "Version: " + builtVersion() + "\n")) << fields;
    EXPECT_FALSE(contains(builtVersion(), "D")) << "the development mark is not part of a package's version";
    for (const std::string dependency : {"libc6 (>=", "libsystemd0", "mpg123", "alsa-utils", "ca-certificates", "adduser", "ssl-cert"})
        EXPECT_TRUE(contains(fields, dependency)) << dependency << " missing from\n" << fields;

    TempDir control;
    output({"dpkg-deb", "--control", packageFile().string(), control.path().string()});
    EXPECT_EQ(testing::readFile(control / "conffiles"), "/etc/default/quorvane-player\n");
    for (const std::string script : {"postinst", "prerm", "postrm"}) {
        struct stat status {};
        ASSERT_EQ(stat((control / script).c_str(), &status), 0) << script;
        EXPECT_EQ(status.st_mode & 0777, 0755u) << script;
        EXPECT_EQ(testing::readFile(control / script).rfind("#!/bin/sh\n", 0), 0u) << script;
    }
}

// Unpacked into a temporary root and started with the service user's home in it: the packaged layout,
// the version of version.info, the browser files of the package, the user data in ~/.QuorvanePlayer.
TEST(Package, UnpackedProgramRunsInThePackagedLayout) {
    TempDir root;
    output({"dpkg-deb", "--extract", packageFile().string(), root.path().string()});
    const fs::path home = root / "var/lib/quorvane-player";
    fs::create_directories(home);
    const int port = testing::freePort();
    ChildProcess run({(root / "usr/bin/quorvane-player").string(), "--port", std::to_string(port)},
                     {{"HOME", home.string()}, {"QUORVANE_SERVICE_URL", "http://127.0.0.1:" + std::to_string(testing::freePort())}}, root.path());
    ASSERT_TRUE(testing::waitUntilServing(port)) << run.standardError();
    EXPECT_EQ(run.standardError().rfind("\nQuorvane Player v" + builtVersion() + "\n", 0), 0u) << run.standardError();

    auto client = testing::playerClient(port);
    const auto page = client.Get("/index.html");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->body, testing::readFile(root / "usr/share/quorvane-player/web-ui/dist/index.html"));
    const auto status = client.Get("/api/get/status");
    ASSERT_TRUE(status);
    EXPECT_TRUE(contains(status->body, builtVersion())) << status->body;
    const auto saved = client.Post("/db/settings/update", R"({"alarmDelaySec": 4.5})", "application/json");
    ASSERT_TRUE(saved);

    kill(run.pid(), SIGTERM);
    ASSERT_EQ(run.waitForExit(5s), 0) << run.standardError();
    const auto stored = nlohmann::json::parse(testing::readFile(home / ".QuorvanePlayer" / "_db.json"));
    EXPECT_EQ(stored["settings"]["alarmDelaySec"], 4.5);
}

// NAME=value lines of a systemd unit's Environment= or of an environment file.
void readAssignments(const std::string& text, std::map<std::string, std::string>& into) {
    static const std::regex ASSIGNMENT("([A-Z_]+)=(\\S*)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), ASSIGNMENT); it != std::sregex_iterator(); ++it) into[(*it)[1]] = (*it)[2];
}

// The unit's ExecStart, its variables expanded as systemd does: ${NAME} in place, a word $NAME split
// into words (none when empty).
std::vector<std::string> serviceCommand(const std::string& unit, const std::map<std::string, std::string>& variables) {
    std::smatch line;
    EXPECT_TRUE(std::regex_search(unit, line, std::regex("\nExecStart=([^\n]*)")));
    std::istringstream words(line[1]);
    std::vector<std::string> command;
    for (std::string word; words >> word;) {
        if (word[0] == '$' && word[1] != '{') {
            std::istringstream values(variables.at(word.substr(1)));
            for (std::string value; values >> value;) command.push_back(value);
            continue;
        }
        for (size_t at; (at = word.find("${")) != std::string::npos;) {
            const size_t end = word.find('}', at);
            word.replace(at, end - at + 1, variables.at(word.substr(at + 2, end - at - 2)));
        }
        command.push_back(word);
    }
    return command;
}

// The command line the service runs, from its unit and its defaults file: with Debian's self-signed
// pair (stood in for by one of the test's, since this machine need not have ssl-cert's) it serves
// HTTPS and redirects the plain port; with TLS_CERT and TLS_KEY emptied, plain HTTP as before.
TEST(Package, TheServicesCommandLineServesHttpsWithTheDefaultsPair) {
    TempDir root;
    output({"dpkg-deb", "--extract", packageFile().string(), root.path().string()});
    const std::string unit = testing::readFile(root / "lib/systemd/system/quorvane-player.service");
    std::map<std::string, std::string> variables;
    std::smatch environment;
    ASSERT_TRUE(std::regex_search(unit, environment, std::regex("\nEnvironment=([^\n]*)")));
    readAssignments(environment[1], variables);
    readAssignments(testing::readFile(root / "etc/default/quorvane-player"), variables);
    EXPECT_EQ(variables["TLS_CERT"], "/etc/ssl/certs/ssl-cert-snakeoil.pem");
    EXPECT_EQ(variables["TLS_KEY"], "/etc/ssl/private/ssl-cert-snakeoil.key");
    EXPECT_NE(unit.find("\nSupplementaryGroups=audio ssl-cert\n"), std::string::npos) << "the snakeoil key is readable by ssl-cert only";

    const fs::path home = root / "var/lib/quorvane-player";
    fs::create_directories(home);
    const testing::TlsFiles pair = testing::writeSelfSignedPair(root.path());
    const int port = testing::freePort(), tlsPort = testing::freePort();
    variables["PORT"] = std::to_string(port);
    variables["TLS_PORT"] = std::to_string(tlsPort);
    variables["TLS_CERT"] = pair.certificate.string();
    variables["TLS_KEY"] = pair.key.string();
    std::vector<std::string> command = serviceCommand(unit, variables);
    ASSERT_EQ(command.front(), "/usr/bin/quorvane-player");
    command.front() = (root / "usr/bin/quorvane-player").string();
    const std::map<std::string, std::string> childEnvironment = {{"HOME", home.string()},
                                                                 {"QUORVANE_SERVICE_URL", "http://127.0.0.1:" + std::to_string(testing::freePort())}};
    {
        ChildProcess run(command, childEnvironment, root.path());
        ASSERT_TRUE(run.waitForStderr("TLS certificate SHA-256 fingerprint: " + http::certificateFingerprint(pair.certificate), 10s))
            << run.standardError();
        testing::TlsClient client(tlsPort);
        EXPECT_TRUE(client.established());
        const auto redirect = testing::playerClient(port).Get("/");
        ASSERT_TRUE(redirect);
        EXPECT_EQ(redirect->status, 308);
    }
    variables["TLS_CERT"] = variables["TLS_KEY"] = "";
    command = serviceCommand(unit, variables);
    command.front() = (root / "usr/bin/quorvane-player").string();
    ChildProcess plain(command, childEnvironment, root.path());
    ASSERT_TRUE(testing::waitUntilServing(port)) << plain.standardError();
    EXPECT_EQ(plain.standardError().find("TLS"), std::string::npos) << plain.standardError();
    const auto status = testing::playerClient(port).Get("/api/get/status");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->status, 200);
}

TEST(Install, APrefixGetsThePackagedLayoutAndNothingOfTheSystemsOwn) {
    TempDir prefix;
    output({"cmake", "--install", BUILD_DIR.string(), "--prefix", prefix.path().string()});
    EXPECT_TRUE(fs::exists(prefix / "share/quorvane-player/web-ui/dist/index.html"));
    EXPECT_EQ(testing::readFile(prefix / "share/quorvane-player/assets/version.info"), builtVersion() + "\n");
    std::vector<std::string> programs;
    for (const auto& entry : fs::directory_iterator(prefix / "bin")) programs.push_back(entry.path().filename().string());
    EXPECT_EQ(programs, std::vector<std::string>{"quorvane-player"}) << "the stand-in, tests and benchmarks are not installed";
    EXPECT_FALSE(fs::exists(prefix / "etc")) << "the defaults file belongs to the package only";
    EXPECT_FALSE(fs::exists(prefix / "lib")) << "the unit belongs to the package only";

    const CommandOutput help = runCommand(testing::underEmulator({(prefix / "bin/quorvane-player").string(), "--help"}));
    EXPECT_EQ(help.standardOutput.rfind("Quorvane Player v" + builtVersion() + "\n", 0), 0u) << help.standardOutput;
}

}  // namespace
}  // namespace quorvane
