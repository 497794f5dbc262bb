#include "core/utf8_path.h"

#include <gtest/gtest.h>

#include "core/atomic_file.h"
#include "core/file_io.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::TempDir;

const std::vector<std::string> NON_ASCII_NAMES = {"Pausengong Größe.wav", "звонок.mp3", "鐘の音.wav", "🔔 bell.mp3", "école été.wav"};

TEST(Utf8Path, NamesRoundTripUnchanged) {
    for (const std::string& name : NON_ASCII_NAMES) {
        EXPECT_EQ(utf8Of(pathFromUtf8(name)), name);
        EXPECT_EQ(utf8Of(pathFromUtf8(name).filename()), name);
    }
    EXPECT_EQ(utf8Of(pathFromUtf8("")), "");
    EXPECT_TRUE(pathFromUtf8("").empty());
}

TEST(Utf8Path, SeparatorsAndExtensionsAreParsed) {
    const std::filesystem::path path = pathFromUtf8("Signale/Größe 🔔.mp3");
    EXPECT_EQ(utf8Of(path.parent_path()), "Signale");
    EXPECT_EQ(utf8Of(path.filename()), "Größe 🔔.mp3");
    EXPECT_EQ(utf8Of(path.stem()), "Größe 🔔");
    EXPECT_EQ(path.extension(), ".mp3");
}

TEST(Utf8Path, FilesWithNonAsciiNamesAreWrittenListedAndRead) {
    TempDir folder;
    for (const std::string& name : NON_ASCII_NAMES) writeFileAtomically(folder.path() / pathFromUtf8(name), "content of " + name);

    std::vector<std::string> listed;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) listed.push_back(utf8Of(entry.path().filename()));
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> expected = NON_ASCII_NAMES;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);

    for (const std::string& name : NON_ASCII_NAMES) {
        // The UTF-8 text of a listed path opens the same file again.
        const std::filesystem::path again = pathFromUtf8(utf8Of(folder.path() / pathFromUtf8(name)));
        EXPECT_EQ(readWholeFile(again), "content of " + name) << name;
    }
}

}  // namespace
}  // namespace quorvane
