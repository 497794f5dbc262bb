#include "core/paths.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "core/child_process.h"
#include "core/version.h"
#include "support/emulator.h"
#include "support/scoped_env.h"
#include "support/test_layout.h"

namespace quorvane {
namespace {

using testing::TempDir;
using testing::TestLayout;
using testing::writeFile;

using testing::ScopedEnv;

TEST(Layout, DevelopmentLayoutIsTheParentOfTheExecutableFolder) {
    TempDir root;
    std::filesystem::create_directories(root / "build");
    const Layout layout = layoutFor(root / "build");
    EXPECT_FALSE(layout.release);
    EXPECT_EQ(layout.assetRoot, root.path());
    EXPECT_EQ(layout.userDataPath, root / "userdata");
}

TEST(Layout, InstalledTreeIsThePackagedLayout) {
    TempDir prefix, home;
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix / "share" / "quorvane-player" / "assets");
    ScopedEnv env("HOME", home.path().string());
    const Layout layout = layoutFor(prefix / "bin");
    EXPECT_TRUE(layout.release);
    EXPECT_EQ(layout.assetRoot, prefix / "share" / "quorvane-player");
    EXPECT_EQ(layout.userDataPath, home / ".QuorvanePlayer");
}

TEST(Layout, ABinFolderWithoutTheShareFolderIsDevelopment) {
    TempDir prefix;
    std::filesystem::create_directories(prefix / "bin");
    EXPECT_FALSE(layoutFor(prefix / "bin").release);
}

TEST(Layout, PathsResolveSymbolicLinks) {
    TestLayout layout;
    TempDir elsewhere;
    std::filesystem::create_directories(elsewhere / "real-assets");
    std::filesystem::remove(layout.assets());
    std::filesystem::create_directory_symlink(elsewhere / "real-assets", layout.assets());
    EXPECT_EQ(getAssetPath("x.mp3"), elsewhere / "real-assets" / "x.mp3");
    EXPECT_EQ(getHtmlDir(), layout.webDir());
    EXPECT_FALSE(isRelease());
}

TEST(UserFilePath, CreatesTheFolderAndEndsWithASeparator) {
    TestLayout layout;
    ASSERT_FALSE(std::filesystem::exists(layout.userData()));
    EXPECT_EQ(getUserFilePath(), layout.userData().string() + "/");
    EXPECT_TRUE(std::filesystem::is_directory(layout.userData()));
    EXPECT_EQ(getUserFilePath("_db.json"), (layout.userData() / "_db.json").string());
}

TEST(UserFilePath, ANewFolderIsPrivateAndAnExistingOneKeepsItsMode) {
    namespace fs = std::filesystem;
    TestLayout layout;
    getUserFilePath();
    EXPECT_EQ(fs::status(layout.userData()).permissions(), fs::perms(0700)) << "it will hold the password hash";
    fs::permissions(layout.userData(), fs::perms(0750));
    getUserFilePath("_db.json");
    EXPECT_EQ(fs::status(layout.userData()).permissions(), fs::perms(0750)) << "the owner's choice stays";
}

TEST(UserFilePath, RemoveUserFileDeletesOrFails) {
    TestLayout layout;
    writeFile(getUserFilePath("x.mp3"), "data");
    removeUserFile("x.mp3");
    EXPECT_FALSE(std::filesystem::exists(layout.userData() / "x.mp3"));
    EXPECT_THROW(removeUserFile("x.mp3"), std::filesystem::filesystem_error);
}

TEST(Platform, IsWindowsOnlyOnWindows) {
#ifdef _WIN32
    EXPECT_TRUE(isWindows());
#else
    EXPECT_FALSE(isWindows());
#endif
}

class VersionTest : public ::testing::Test {
protected:
    void SetUp() override { _previous = std::filesystem::current_path(); }
    void TearDown() override { std::filesystem::current_path(_previous); }
    std::filesystem::path _previous;
};

TEST_F(VersionTest, OutsideARepositoryTheVersionIsDQuestionMark) {
    TestLayout layout;
    std::filesystem::current_path(layout.root());
    EXPECT_EQ(getVersion(), "D?");
}

TEST_F(VersionTest, ModifiedWorkingTreeIsMarkedDirty) {
    TestLayout layout;
    TempDir repo;
    std::filesystem::current_path(repo.path());
    ASSERT_EQ(runCommand({"git", "init", "-q"}).exitStatus, 0);
    writeFile(repo / "f.txt", "one");
    ASSERT_EQ(runCommand({"git", "add", "f.txt"}).exitStatus, 0);
    ASSERT_EQ(runCommand({"git", "-c", "user.name=t", "-c", "user.email=t@example.invalid", "commit", "-q", "-m", "x"}).exitStatus, 0);
    const std::string clean = getVersion();
    EXPECT_EQ(clean.size(), 8u) << clean;  // D and the abbreviated commit name
    EXPECT_EQ(clean[0], 'D');
    writeFile(repo / "f.txt", "two");
    EXPECT_EQ(getVersion(), clean + "-dirty");
}

TEST_F(VersionTest, PackagedVersionComesFromVersionInfo) {
    TempDir prefix;
    std::filesystem::create_directories(prefix / "bin");
    writeFile(prefix / "share" / "quorvane-player" / "assets" / "version.info", "  1.4.2\n");
    overrideExecutableDirForTesting(prefix / "bin");
    EXPECT_EQ(getVersion(), "1.4.2");
    std::filesystem::remove(prefix / "share" / "quorvane-player" / "assets" / "version.info");
    EXPECT_THROW(getVersion(), std::runtime_error);
    overrideExecutableDirForTesting({});
}

TEST(RunCommand, MissingProgramCannotStart) {
    if (testing::runsUnderEmulator()) GTEST_SKIP() << "qemu runs posix_spawn as a plain fork, which cannot report a failed exec to the parent";
    EXPECT_THROW(runCommand({"quorvane-no-such-program"}), std::system_error);
}

}  // namespace
}  // namespace quorvane
