#include "core/file_io.h"

#include <cerrno>
#include <set>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

TEST(FileIo, UniqueFilesGetDistinctNewNames) {
    TempDir folder;
    std::set<std::string> names;
    for (int i = 0; i < 20; ++i) {
        std::filesystem::path path = folder / "x.tmp-XXXXXX";
        const int fd = createUniqueFile(path);
        ASSERT_GE(fd, 0);
        EXPECT_TRUE(closeFileDescriptor(fd));
        const std::string name = path.filename().string();
        EXPECT_EQ(name.size(), std::string("x.tmp-XXXXXX").size());
        EXPECT_EQ(name.rfind("x.tmp-", 0), 0u) << name;
        EXPECT_NE(name, "x.tmp-XXXXXX");  // the pattern itself is never created
        EXPECT_TRUE(std::filesystem::is_regular_file(path));
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 20u);

    std::filesystem::path missing = folder / "missing" / "x-XXXXXX";
    EXPECT_LT(createUniqueFile(missing), 0);
    EXPECT_EQ(errno, ENOENT);
}

TEST(FileIo, WrittenBytesAreReadAtAnyOffset) {
    TempDir folder;
    const std::string content = "0123456789abcdef";
    const int out = openFileDescriptor(folder / "data", O_WRONLY | O_CREAT);
    ASSERT_GE(out, 0);
    EXPECT_TRUE(writeAll(out, content));
    EXPECT_TRUE(syncFileData(out));
    EXPECT_TRUE(closeFileDescriptor(out));

    const int in = openFileDescriptor(folder / "data", O_RDONLY);
    ASSERT_GE(in, 0);
    EXPECT_EQ(regularFileSize(in), content.size());
    char buffer[8] = {};
    EXPECT_EQ(readAt(in, buffer, 4, 10), 4);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(readAt(in, buffer, 8, 14), 2);  // only what is left
    EXPECT_EQ(std::string(buffer, 2), "ef");
    EXPECT_EQ(readAt(in, buffer, 8, 16), 0);
    EXPECT_EQ(readAt(in, buffer, 4, 0), 4);  // no shared position moved by the reads before
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_TRUE(closeFileDescriptor(in));
}

TEST(FileIo, AppendingKeepsWhatIsThere) {
    TempDir folder;
    writeFile(folder / "log", "one\n");
    const int fd = openFileDescriptor(folder / "log", O_WRONLY | O_APPEND | O_CREAT);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(writeAll(fd, "two\n"));
    closeFileDescriptor(fd);
    EXPECT_EQ(readFile(folder / "log"), "one\ntwo\n");
}

TEST(FileIo, FoldersAreNoRegularFiles) {
    TempDir folder;
    const int fd = openFileDescriptor(folder.path(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(regularFileSize(fd), std::nullopt);
    closeFileDescriptor(fd);
}

TEST(FileIo, DescriptorsAreNotInheritedByChildren) {
    TempDir folder;
    std::filesystem::path path = folder / "x-XXXXXX";
    for (const int fd : {openFileDescriptor(folder / "plain", O_WRONLY | O_CREAT), createUniqueFile(path)}) {
        ASSERT_GE(fd, 0);
        EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
        closeFileDescriptor(fd);
    }
}

TEST(FileIo, ReplaceSyncAndRemove) {
    TempDir folder;
    writeFile(folder / "new", "new");
    writeFile(folder / "old", "old");
    EXPECT_TRUE(syncPath(folder / "new"));
    EXPECT_TRUE(replaceFile(folder / "new", folder / "old"));
    EXPECT_TRUE(syncFolder(folder.path()));
    EXPECT_EQ(readFile(folder / "old"), "new");
    EXPECT_FALSE(std::filesystem::exists(folder / "new"));

    EXPECT_FALSE(replaceFile(folder / "new", folder / "old"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(syncPath(folder / "new"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(syncFolder(folder / "missing"));
    EXPECT_TRUE(removeFile(folder / "old"));
    EXPECT_FALSE(removeFile(folder / "old"));
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
}  // namespace quorvane
