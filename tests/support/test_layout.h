#pragma once
// A temporary development installation: <root>/build stands in for the executable's folder, so assets,
// web files and user data of the code under test all live below a fresh temporary folder.
#include "core/paths.h"
#include "support/temp_dir.h"

namespace quorvane::testing {

class TestLayout {
public:
    TestLayout();
    ~TestLayout();

    const std::filesystem::path& root() const { return _root.path(); }
    std::filesystem::path assets() const { return root() / "assets"; }
    std::filesystem::path userData() const { return root() / "userdata"; }
    std::filesystem::path webDir() const { return root() / "web-ui" / "dist"; }

private:
    TempDir _root;
};

}  // namespace quorvane::testing
