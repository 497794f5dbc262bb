// The Debian package made from this build (by the CTest fixture package_build) and the install into a
// prefix: their files, the package's control data, and the program unpacked into a temporary root and
// started there the way the service starts it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "core/child_process.h"
#include "model/text.h"
#include "support/child_process.h"
#include "support/player_service.h"
#include "support/temp_dir.h"

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

fs::path packageFile() {
    const std::string architecture(trimmed(output({"dpkg", "--print-architecture"})));
    return BUILD_DIR / ("quorvane-player_" + builtVersion() + "_" + architecture + ".deb");
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Package, HoldsTheProgramItsFilesTheServiceAndTheDefaults) {
    ASSERT_TRUE(fs::exists(packageFile())) << packageFile();
    const std::string files = output({"dpkg-deb", "--contents", packageFile().string()});
    for (const std::string path : {"./usr/bin/quorvane-player", "./usr/share/quorvane-player/assets/version.info",
                                    "./usr/share/quorvane-player/web-ui/dist/index.html", "./lib/systemd/system/quorvane-player.service",
                                    "./etc/default/quorvane-player", "./usr/share/doc/quorvane-player/copyright",
                                    "./usr/share/man/man1/quorvane-player.1.gz"})
        EXPECT_TRUE(contains(files, path + "\n")) << path << " missing from\n" << files;
    for (const auto& sound : fs::directory_iterator(fs::path(QUORVANE_SOURCE_DIR) / "assets"))
        EXPECT_TRUE(contains(files, "./usr/share/quorvane-player/assets/" + sound.path().filename().string() + "\n"));
    for (const std::string absent : {"standin", "unit_tests", "bench", "/userdata"})
        EXPECT_FALSE(contains(files, absent)) << absent;
}

TEST(Package, ControlDataNamesVersionDependenciesConffileAndScripts) {
    const std::string fields = output({"dpkg-deb", "--field", packageFile().string(), "Package", "Version", "Depends"});
    EXPECT_TRUE(contains(fields, "Package: quorvane-player\n")) << fields;
    EXPECT_TRUE(contains(fields, "Version: " + builtVersion() + "\n")) << fields;
    EXPECT_FALSE(contains(builtVersion(), "D")) << "the development mark is not part of a package's version";
    for (const std::string dependency : {"libc6 (>=", "libsystemd0", "mpg123", "alsa-utils", "ca-certificates", "adduser"})
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
                     {{"HOME", home.string()}, {"QUORVANE_SERVICE_URL", "http://127.0.0.1:" + std::to_string(testing::freePort())}},
                     root.path());
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

    const CommandOutput help = runCommand({(prefix / "bin/quorvane-player").string(), "--help"});
    EXPECT_EQ(help.standardOutput.rfind("Quorvane Player v" + builtVersion() + "\n", 0), 0u) << help.standardOutput;
}

}  // namespace
}  // namespace quorvane
