#include "web/static_files.h"

#include <gtest/gtest.h>

namespace quorvane::web {
namespace {

TEST(StaticFiles, FileBelowKeepsInsideTheFolder) {
    const std::filesystem::path folder = "/srv/web";
    EXPECT_EQ(fileBelow(folder, "index.html"), folder / "index.html");
    EXPECT_EQ(fileBelow(folder, "assets/app.1a2b.js"), folder / "assets" / "app.1a2b.js");
    EXPECT_EQ(fileBelow(folder, "..."), folder / "...") << "three dots are a name";
    for (const std::string& path : std::vector<std::string>{"../x.js", "a/../../x.js", "./x.js", "a/./x.js", "/etc/passwd", "a//b.js", "a/", "",
                                                            "..\\x.js", "a\\b.js", std::string("x.js\0.png", 9), "C:x.js", "a/.."})
        EXPECT_FALSE(fileBelow(folder, path)) << path;
}

TEST(StaticFiles, ContentTypesByExtension) {
    EXPECT_EQ(contentTypeFor("index.html"), "text/html; charset=utf-8");
    EXPECT_EQ(contentTypeFor("APP.JS"), "text/javascript; charset=utf-8");
    EXPECT_EQ(contentTypeFor("style.css"), "text/css; charset=utf-8");
    EXPECT_EQ(contentTypeFor("logo.svg"), "image/svg+xml");
    EXPECT_EQ(contentTypeFor("font.woff2"), "font/woff2");
    EXPECT_EQ(contentTypeFor("abc.mp3"), "audio/mpeg");
    EXPECT_EQ(contentTypeFor("abc.wav"), "audio/wav");
    EXPECT_EQ(contentTypeFor("abc.mp4"), "video/mp4");
    EXPECT_EQ(contentTypeFor("archive.bin"), "application/octet-stream");
    EXPECT_EQ(contentTypeFor("README"), "application/octet-stream");
}

}  // namespace
}  // namespace quorvane::web
