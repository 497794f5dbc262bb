#include "core/atomic_file.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::TempDir;
using testing::writeFile;

TEST(StaleTemporaryFiles, OnlyTheAtomicWritersLeftoversAreRemoved) {
    TempDir folder;
    const std::vector<std::string> ours = {"_db.json.tmp-a1B2c3", "cache.json.tmp-ZZZZZZ", "0cc175b9c0f1b6a831c399e269772661.wav.tmp-000000"};
    const std::vector<std::string> others = {"_db.json", "notes.tmp-1", "x.tmp-abcdefg", "x.tmp-abc-de", ".tmp-abcdef", "x.tmp-abcdef.bak"};
    for (const auto& name : ours) writeFile(folder / name, "{");
    for (const auto& name : others) writeFile(folder / name, "kept");
    std::filesystem::create_directory(folder / "folder.tmp-abcdef");

    std::vector<std::string> removed = removeStaleTemporaryFiles(folder.path());
    std::sort(removed.begin(), removed.end());
    std::vector<std::string> expected = ours;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(removed, expected);
    for (const auto& name : others) EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
    EXPECT_TRUE(std::filesystem::is_directory(folder / "folder.tmp-abcdef"));
    EXPECT_TRUE(removeStaleTemporaryFiles(folder / "missing").empty());
}

TEST(StaleTemporaryFiles, AWriteLeavesNone) {
    TempDir folder;
    writeFileAtomically(folder / "_db.json", "{}");
    writeFileAtomically(folder / "_db.json", "{\"a\": 1}");
    EXPECT_TRUE(removeStaleTemporaryFiles(folder.path()).empty());
}

}  // namespace
}  // namespace quorvane
